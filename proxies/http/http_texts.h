// Every ERR text and activity format of the HTTP proxy, exactly as they are
// logged. Replies to the browser are in http_wire.h.
#pragma once

namespace qlm::http {

// The connection thread.
inline constexpr const char* kTextOutOfMemory = "HttpClientThreadProc:Out of memory";
inline constexpr const char* kTextLimited = "HttpClientThreadProc:Limited by maximum connections.";
inline constexpr const char* kTextNotResolved = "HttpClientThreadProc:Remote Host is not resolved!";
inline constexpr const char* kFormatNotImplemented =
    "HttpClientThreadProc:%s Service Not Implemented!";
// Follows every socket failure of a connection in its ERR line.
inline constexpr const char* kClosedSuffix = " HTTP connection closed";

// The request line and URI.
inline constexpr const char* kFormatBadRequestLine =
    "HttpClientThreadProc:Bad HTTP Request! Parsing Request Line <%s> Failed";
inline constexpr const char* kFormatBadConnectTarget =
    "HttpClientThreadProc:Bad HTTP Request! Parsing Request <%s> Failed";
inline constexpr const char* kFormatUnknownMethod =
    "HttpClientThreadProc: Service <%s> Not Implemented!";
inline constexpr const char* kFormatBadUri =
    "HttpClientThreadProc:Bad HTTP Request! no way to parse the URI <%s>";

// Reading the client's request head.
inline constexpr const char* kTextVeryLarge =
    "CHttpClientSocket:client send a very large request line or headers!";
inline constexpr const char* kTextNetworkError = "CHttpClientSocket:receiving network error";
inline constexpr const char* kTextLineTooLarge =
    "CHttpClientSocket:header line is too large when receiving client requests";
inline constexpr const char* kTextClientCloses =
    "CHttpClientSocket:client closes the socket when receiving client requests";
inline constexpr const char* kTextUnsafe = "CHttpClientSocket:header line has unsafe characters";
inline constexpr const char* kTextOtherErrors =
    "CHttpClientSocket:other errors when receiving client requests";

// The Via field.
inline constexpr const char* kTextHostNameFailed =
    "CHttpBlockingSocket::ProcessViaHeader:gethostname error";

// The response relay.
inline constexpr const char* kTextBadHeader =
    "CHttpPump::Pump:receiving bad header from server or server  closes the connection";
inline constexpr const char* kTextRecvFailed = "CHttpPump::Pump:recv:m_out";
inline constexpr const char* kTextSelectFailed = "CHttpPump::Pump:select:socket closed";

// Bodies by length and by chunks, one set of texts per direction.
inline constexpr const char* kTextRequestLengthFailed =
    "CHttpPump::PumpRequestForLength time out or closed";
inline constexpr const char* kTextResponseLengthFailed =
    "CHttpPump::PumpResponseForLength time out or closed";

struct ChunkTexts {
  const char* too_long_line;
  const char* line_errors;
  const char* too_long_footer;
  const char* footer_errors;
  const char* length_failed;
};

inline constexpr ChunkTexts kRequestChunks = {
    "CHttpPump::PumpRequestForEncoding:Transfer-Encoding too long chunk-size line",
    "CHttpPump::PumpRequestForEncoding:Transfer-Encoding has errors and socket is closed",
    "CHttpPump::PumpRequestForEncoding:Transfer-Encoding too long footer header line",
    "CHttpPump::PumpRequestForEncoding:Transfer-Encoding has errors while reading the footer "
    "header line",
    kTextRequestLengthFailed};
inline constexpr ChunkTexts kResponseChunks = {
    "CHttpPump::PumpResponseForTransferEncoding:Transfer-Encoding too long chunk-size line",
    "CHttpPump::PumpResponseForTransferEncoding:Transfer-Encoding has errors and socket is closed",
    "CHttpPump::PumpResponseForTransferEncoding:Transfer-Encoding too long footer header line",
    "CHttpPump::PumpResponseForTransferEncoding:Transfer-Encoding has errors while reading the "
    "footer header line",
    kTextResponseLengthFailed};

// The activity record of a request: client (name) -> proxy -> server (host) line.
inline constexpr const char* kFormatRequestActivity = "%s (%s)->%s:%u->%s:%u (%s) %s";

}  // namespace qlm::http
