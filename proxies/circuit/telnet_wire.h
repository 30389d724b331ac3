// The Telnet proxy's vocabulary without any socket: what the user sees
// before naming a host, the host line's limits, every reply, ERR text and
// activity text, and the proxy's waits.
//
// The dialogue as the client receives it:
//   "Quillmar Proxy Server Telnet Session---------New user ready!" CR LF
//   FF FB 01   IAC WILL ECHO                (RFC 857)
//   FF FB 03   IAC WILL SUPPRESS-GO-AHEAD   (RFC 858)
//   FF FD 01   IAC DO ECHO
//   "Hostname [port number]: "              (no line end)
// The user answers "host" or "host port" and a line end; from then on bytes
// pass both ways untouched.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "net/timeout.h"

namespace qlm::circuit {

inline constexpr const char* kTelnetGreeting =
    "Quillmar Proxy Server Telnet Session---------New user ready!";
inline constexpr const char* kTelnetPrompt = "Hostname [port number]: ";
inline constexpr uint16_t kTelnetDefaultPort = 23;

// Limits.
inline constexpr size_t kTelnetLineSize = 512;    // the host line, NUL included; relay chunks
inline constexpr size_t kTelnetHostMax = 255;     // the host as typed

// Replies (each followed by CR LF).
inline constexpr const char* kReplyBadHostname = "Bad hostname!";
inline constexpr const char* kReplyConnectFails = "Connect to remote server fails!";
inline constexpr const char* kReplySessionTimeout = "Telnet session timeout!";
inline constexpr const char* kReplyMaxConnections = "Hit maximum connections.";

// ERR texts.
inline constexpr const char* kTelnetProcName = "TelnetThreadProc";
inline constexpr const char* kTelnetTextNoClient = "TelnetThreadProc:Receive Client Closed";
inline constexpr const char* kTelnetTextLimited =
    "TelnetThreadProc:Limited by maximum connections.";
inline constexpr const char* kTelnetTextBadCommand = "TelnetThreadProc:Bad command is received";
inline constexpr const char* kTelnetFormatBadHost = "TelnetThreadProc:hostname %s is bad";
inline constexpr const char* kTelnetFormatUnresolved =
    "TelnetThreadProc::ResovlHostByName:Remote host (%s) is unresolved";
inline constexpr const char* kTelnetFormatConnectFailed =
    "TelnetThreadProc::Connect to remote host %s failed";
inline constexpr const char* kTelnetTextSelect = "TelnetThreadProc:select";
inline constexpr const char* kTelnetTextClientRecv =
    "Other errors from client connection, connection closed";
inline constexpr const char* kTelnetTextRemoteRecv =
    "Other errors from remote cmd connection, command connection closed";
inline constexpr const char* kTelnetSuffix = " in TELNET client cmd connection! Connection closed";

// Activity.
inline constexpr const char* kLabelTelnet = "TELNET";
inline constexpr const char* kTelnetFormatLogins = "Local %s:%u (%s) logins";
inline constexpr const char* kTelnetFormatSession =
    "Local %s:%u (%s) -> Proxy %s:%u -> Remote %s:%u (%s)";

// The waits of one Telnet session beside those of its command socket.
struct TelnetTimeouts {
  net::Timeout connect{std::chrono::seconds(120)};  // the remote connection
  net::Timeout idle{std::chrono::seconds(1800)};    // no traffic either way
  net::Timeout send{std::chrono::seconds(30)};      // each relayed chunk
  std::chrono::seconds linger{30};
};

}  // namespace qlm::circuit
