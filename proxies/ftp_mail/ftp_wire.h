// The FTP side's vocabulary without any socket: Telnet negotiation bytes
// (RFC 854, RFC 857 ECHO, RFC 858 SUPPRESS-GO-AHEAD), the limits of replies
// and command lines, the numbered replies the proxy sends its clients, and
// every ERR and activity text of the FTP proxy. Tests and both the proxy and
// its later users (Telnet proxy, FTP port mapping, FTP gateway) include it.
//
// A reply from an FTP server (RFC 959 section 4.2):
//   "220 text" CR LF                          single line, code + blank
//   "220-text" CR LF ... "220 last" CR LF     multi-line, code + "-" first,
//                                             ends at the same code + blank
#pragma once

#include <cstddef>
#include <cstdint>

namespace qlm::ftp {

// Telnet commands and options.
inline constexpr uint8_t kIac = 255;
inline constexpr uint8_t kDont = 254;
inline constexpr uint8_t kDo = 253;
inline constexpr uint8_t kWont = 252;
inline constexpr uint8_t kWill = 251;
inline constexpr uint8_t kSb = 250;
inline constexpr uint8_t kSe = 240;
inline constexpr uint8_t kOptionEcho = 1;
inline constexpr uint8_t kOptionSuppressGoAhead = 3;

// Line editing and line ends of a typed command line.
inline constexpr uint8_t kBackspace = 8;
inline constexpr uint8_t kDelete = 127;
inline constexpr uint8_t kCr = '\r';
inline constexpr uint8_t kLf = '\n';
inline constexpr uint8_t kNul = 0;

// Limits.
inline constexpr size_t kReplyLineSize = 1024;      // a server's reply line, LF included, < this
inline constexpr size_t kReceiveStart = 512;        // the reply receive buffer at construction
inline constexpr size_t kReceiveStep = 512;         // its growth
inline constexpr size_t kReceiveLimit = 32768;      // and its largest size
inline constexpr size_t kCommandLineSize = 512;     // a client's command line, NUL included
inline constexpr size_t kTelnetCommandSize = 128;   // a subnegotiation kept for answering
inline constexpr size_t kReplyTextSize = 512;       // a numbered reply, CR LF included, < this
inline constexpr size_t kRelayChunk = 512;          // server replies relayed per receive
inline constexpr size_t kHostNameSize = 256;        // a client's reverse name

// Defaults of the server connection's log-on.
inline constexpr const char* kDefaultUser = "anonymous";
inline constexpr const char* kDefaultPassword = "visit@";
inline constexpr uint16_t kFtpPort = 21;
inline constexpr uint16_t kFtpDataPort = 20;
inline constexpr int kDataListenBacklog = 5;

// Reply classes (the first digit of a reply).
inline constexpr int kClassPreliminary = 1;
inline constexpr int kClassCompletion = 2;
inline constexpr int kClassIntermediate = 3;

// Numbered replies to the proxy's clients, by string-table identifier.
enum ReplyId : int {
  kReplyWelcome = 61219,
  kReplyOffline = 61221,
  kReplyGoodBye = 61223,
  kReplyTimeOut = 61225,
  kReplyLocalError = 61226,
  kReplyUserCommand = 61227,
  kReplySyntaxError = 61228,
  kReplyUnavailable = 61229,
  kReplyNotImplemented = 61279,
  kReplyLimited = 61284,
};
// The text of a reply identifier (a printf format); null for an unknown one.
const char* ReplyText(int id);

inline constexpr const char* kTextWelcome =
    "220 OK Connect to proxy server. Log in to remote server by  USER "
    "remote_user_id@remote_server_ip_address";
inline constexpr const char* kTextOffline = "200 Proxy OK. Remote server off line.";
inline constexpr const char* kTextGoodBye = "221 GoodBye From Proxy";
inline constexpr const char* kTextTimeOut = "421 FTP Proxy Time out. Please login again.";
inline constexpr const char* kTextLocalError =
    "451 Request action fails, local error in processing.";
inline constexpr const char* kTextUserCommand = "USER %s";
inline constexpr const char* kTextSyntaxError = "501 Syntax error in parameters or arguments";
inline constexpr const char* kTextUnavailable = "550 Offline, action unavailable";
inline constexpr const char* kTextNotImplemented = "502 Command not implemented";
inline constexpr const char* kTextLimitedReply =
    "421 hit maximum connections. Please come back later.";

// Commands the server connection sends.
inline constexpr const char* kCommandUser = "USER ";
inline constexpr const char* kCommandPass = "PASS ";
inline constexpr const char* kCommandCwd = "CWD ";
inline constexpr const char* kCommandTypeImage = "TYPE I";
inline constexpr const char* kCommandPasv = "PASV";
inline constexpr const char* kCommandQuit = "QUIT\r\n";
inline constexpr const char* kFormatPort = "PORT %d,%d,%d,%d,%d,%d";
inline constexpr const char* kLineEnd = "\r\n";

// Texts thrown by the two socket classes.
inline constexpr const char* kTextNotResolved =
    "FTPclient::FtpConnect:Remote Host is not resolved!";
inline constexpr const char* kTextTelnetClosed = "CFtpCmdSocket::GetFtpCmd:Receive Socket closed";

// The FTP proxy's ERR lines and thrown texts.
inline constexpr const char* kProcName = "FtpCmdThreadProc";
inline constexpr const char* kTextNoClient = "FtpCmdThreadProc:Receive Client Closed";
inline constexpr const char* kTextLimited = "FtpCmdThreadProc:Limited by maximum connections.";
inline constexpr const char* kTextSelect = "FtpCmdThreadProc:select";
inline constexpr const char* kTextServerRecv =
    "Other errors from remote cmd connection, command connection closed";
inline constexpr const char* kSuffixConnection = " in Ftp connection!";
inline constexpr const char* kSuffixDataConnection = " in Ftp data connection! Connection closed";
inline constexpr const char* kFormatSyntaxError = "Ftp client syntax error with %s";
inline constexpr const char* kFormatConnectFailed =
    "FTP connects to the remote host (%s) for the user (%s) failed!";
inline constexpr const char* kFormatLoginFailed =
    "FTP login to remote host (%s) for the user (%s) failed!";
inline constexpr const char* kTextDataAccept =
    "Can't accept FTP data connection or no client port ready to be connected.";
inline constexpr const char* kFormatDataWrongHost =
    "Receiving data connection from other host (%s:%u)";
inline constexpr const char* kFormatDataConnectFailed =
    "FTP data connection to the local address (%s:%u) failed!";
// A PORT command naming another address than the client's own: refused, so
// the proxy never connects a data channel to a third host (FTP bounce).
inline constexpr const char* kFormatPortForeign =
    "Ftp client PORT names another host (%s) than its own (%s)";

// Activity line and records.
inline constexpr const char* kLabelFtp = "FTP";
inline constexpr const char* kFormatLoginsActivity = "Local %s:%u (%s) logins";
inline constexpr const char* kFormatSessionActivity =
    "Local %s:%u (%s) -> Proxy %s:%u -> Remote %s:%u (%s)";
inline constexpr const char* kFormatDataActivity =
    "Data: Remote %s:%u -> Proxy %s:%u -> Local %s:%u";

}  // namespace qlm::ftp
