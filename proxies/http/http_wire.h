// Everything the HTTP proxy puts on the wire by itself, byte for byte, and the
// fixed values of its protocol: the result codes of line and head reading, the
// buffer limits, the method table, the scheme codes and the time-outs. Socket
// free, so tests, the fuzzer and the engine include it alike.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qlm::http {

// Result codes of ReadBufferedLine and ReadHeaderBlock.
enum LineResult : int {
  LineRead = 0,              // a line (or the whole head) was read
  LineNetworkError = 1,      // receive failed other than by reset
  LineOtherSocketReady = 2,  // the other socket became readable while waiting
  LineTooLong = 3,           // the line does not fit the caller's space
  LineBufferLimit = 4,       // no LF within the receive buffer's limit
  LineClosed = 5,            // closed, reset, wait failed or engine stop
  LineTimedOut = 6,          // nothing arrived within the time-out
  LineUnsafe = 7,            // a control character that is not white space
};

// Buffer limits.
inline constexpr size_t kReceiveBufferStart = 512;     // receive buffer at construction
inline constexpr size_t kReceiveBufferStep = 512;      // growth step
inline constexpr size_t kReceiveBufferLimit = 32768;   // a line's LF must show within this
inline constexpr size_t kHeadBlockStart = 512;         // head block at start
inline constexpr size_t kHeadBlockStep = 512;
inline constexpr size_t kHeadBlockLimit = 65536;       // a whole head must fit with a byte to spare
inline constexpr size_t kChunkLineLimit = 512;         // chunk-size line buffer
inline constexpr size_t kTrailerLimit = 65536;         // trailer line buffer
inline constexpr size_t kPumpPiece = 4096;             // bodies move in pieces of this
// A body with this much still to come moves socket -> pipe -> socket without
// passing through the process (splice), in pieces of kSplicePiece. Below it,
// the copy path gathers head and body into one send.
inline constexpr int64_t kSpliceFrom = 65536;
inline constexpr size_t kSplicePiece = 65536;
inline constexpr size_t kShortTextLimit = 15;          // method, scheme, version, words

// Scheme codes of the request URI (names compared ignoring case).
enum SchemeCode : int {
  kSchemeUnknown = -1,
  kSchemeFtp = 1,
  kSchemeGopher = 2,
  kSchemeHttp = 3,
  kSchemeConnect = 4,
  kSchemeFile = 5,
  kSchemeNews = 6,
  kSchemeMailto = 7,
};

// The request methods forwarded, compared case-sensitively and exactly.
// CONNECT is handled before the table is consulted.
inline constexpr std::array<std::string_view, 14> kMethodTable = {
    "GET",  "HEAD",  "OPTIONS", "POST",     "PUT",       "DELETE", "LINK",
    "UNLINK", "PATCH", "PROPFIND", "PROPPATCH", "MKCOL", "MOVE",   "BMOVE"};

inline constexpr std::string_view kConnectMethod = "CONNECT";
inline constexpr std::string_view kDialControlHost = "quillmar";
inline constexpr std::string_view kDialOnPath = "/dial-on";
inline constexpr std::string_view kDialOffPath = "/dial-off";
inline constexpr std::string_view kDialStatusPath = "/dial-status";
inline constexpr std::string_view kStatusConnected = "Connected";
inline constexpr std::string_view kStatusDisconnected = "Disconnected";

// Activity labels.
inline constexpr const char* kLabelHttp = "HTTP";
inline constexpr const char* kLabelHttps = "HTTPS";
inline constexpr const char* kLabelDial = "DIAL";
inline constexpr const char* kLabelDialOn = "DIAL-ON";
inline constexpr const char* kLabelDialOff = "DIAL-OFF";

// ---- Replies made by the proxy ----

inline constexpr std::string_view kCommonErrorHead =
    "Proxy-agent: Quillmar Proxy Server\r\n"
    "Proxy-Connection: close\r\n"
    "Pragma: no-cache\r\n"
    "Cache-Control: no-cache\r\n"
    "Accept-Ranges: bytes\r\n"
    "Content-Type: text/html\r\n";

inline constexpr std::string_view kStatus400 = "HTTP/1.0 400 Bad Request\r\n";
inline constexpr std::string_view kStatus414 = "HTTP/1.1 414 Request URI Too Large\r\n";
inline constexpr std::string_view kStatus501 = "HTTP/1.1 501 Service Not Implemented\r\n";
inline constexpr std::string_view kStatus502 = "HTTP/1.0 502 Bad Response From Server Received\r\n";
inline constexpr std::string_view kStatus503 =
    "HTTP/1.1 503 Service Temporarily Unavailable:Limited by maximum connections\r\n";
inline constexpr std::string_view kStatusDialUpDisconnected =
    "HTTP/1.1 200 Dial Up Disconnected\r\n";

inline constexpr std::string_view kRequestErrorBodyStart =
    "<html><head><title>Request Error</title></head><body>";
inline constexpr std::string_view kResponseErrorBodyStart =
    "<html><head><title>Response Error</title></head><body>";
inline constexpr std::string_view kBodyEnd = "<br></body></html>";

inline constexpr std::string_view kBody414 =
    "<html><head><title>Request Error</title></head><body>"
    "414 Request URI or headers are too Large<br></body></html>";
inline constexpr std::string_view kBody501 =
    "<html><head><title>Request Error</title></head><body>"
    "501 Server doesn't Implemented the requested service!<br></body></html>";
inline constexpr std::string_view kBody503 =
    "<html><head><title>Service Temporarily Unavailable</title></head><body>"
    "503 Service Temporarily Unavailable:Limited by maximum connections! Please try "
    "again.<br></body></html>";
inline constexpr std::string_view kBodyDialUpDisconnected =
    "<html><head><title>Dial Up Network is disconnected</title></head><body>"
    "Please click <a href=\"http://quillmar/dial-on\">dial-on</a> to enable the "
    "connection.<br></body></html>";

// Messages of the 400 and 502 replies.
inline constexpr std::string_view kMsgParsingHttpsHost = "400 Bad Request: parsing https hostname error";
inline constexpr std::string_view kMsgParsingUri = "400 Bad Request: parsing submitted URI error";
inline constexpr std::string_view kMsgFailToConnect = "400 Bad Request: fail to connect to host ";
inline constexpr std::string_view kMsgConnectingTo = "400 Bad Request: connecting to remote host ";
inline constexpr std::string_view kMsgConnectingFailed = " failed";
inline constexpr std::string_view kMsgBadResponse = "500 Bad Response Received From Server: ";

inline constexpr std::string_view kRedirectHead =
    "HTTP/1.0 302 Found different location\r\n"
    "Proxy-agent: Quillmar Proxy Server\r\n"
    "Proxy-Connection: close\r\n";
inline constexpr std::string_view kTunnelEstablished =
    "HTTP/1.1 200 Connection established\r\n"
    "Proxy-agent: Quillmar Proxy Server\r\n"
    "Proxy-Connection: close\r\n"
    "Pragma: no-cache\r\n"
    "Cache-Control: no-cache\r\n"
    "\r\n";
inline constexpr std::string_view kDialControlHead =
    "HTTP/1.0 200 Dialing Control\r\n"
    "Server: Quillmar Proxy Server\r\n"
    "Proxy-Connection: close\r\n"
    "Pragma: no-cache\r\n"
    "Cache-Control: no-cache\r\n"
    "Accept-Ranges: bytes\r\n"
    "Content-Type: text/html\r\n"
    "\r\n"
    "<html><head><title>Quillmar Proxy Server Dialing Control</title></head><body>"
    "Quillmar Proxy Server is processing your dialing control command. Please wait!<br>";
inline constexpr std::string_view kDialControlLineEnd = "<br>";
inline constexpr std::string_view kDialControlEnd = "</body></html>";

// Fields the proxy writes into forwarded heads.
inline constexpr std::string_view kConnectionKeepAlive = "Connection: Keep-Alive";
inline constexpr std::string_view kConnectionClose = "Connection: close";
inline constexpr std::string_view kProxyConnectionKeepAlive = "Proxy-Connection: Keep-Alive";
inline constexpr std::string_view kProxyConnectionClose = "Proxy-Connection: close";
inline constexpr std::string_view kViaProduct = "(Quillmar)";

// An error reply: status line, the common head, a Content-Length (the
// connection ends after the reply, but a length lets the client tell a whole
// page from a cut one), the empty line and the body.
std::string ErrorReply(std::string_view status_line, std::string_view body);
std::string Reply400(std::string_view message);
std::string Reply414();
std::string Reply501();
std::string Reply502(std::string_view message);
std::string Reply503();
std::string ReplyDialUpDisconnected();
// The redirect for a URI that ends with its authority: Location is the URI
// with "/" appended; no body.
std::string Reply302(std::string_view uri);

}  // namespace qlm::http
