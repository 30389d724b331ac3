// The e-mail proxy's vocabulary without any socket: the limits of the lines
// it reads, the greeting it sends POP3 clients, and every ERR and activity
// text. The proxy, its tests and its fuzz target include it.
//
// POP3 log-on through the proxy (RFC 1939 section 7, USER):
//   proxy  -> client  "+OK Quillmar POP3 proxy server ready (Comments to: D)" CR LF
//   client -> proxy   "USER alice#pop.example.org" CR LF
//   proxy  -> server  "USER alice" CR LF       (server greeting "+OK..." swallowed)
//   then every byte is relayed both ways.
#pragma once

#include <chrono>
#include <cstddef>

#include "net/timeout.h"

namespace qlm::ftp::mail {

// Limits: the USER line buffer and the server greeting buffer, each counting
// a terminating NUL as the proxy's buffers do.
inline constexpr size_t kUserLineSize = 256;
inline constexpr size_t kGreetingSize = 2048;

// The POP3 greeting, split around the contact domain.
inline constexpr const char* kGreetingHead = "+OK Quillmar POP3 proxy server ready (Comments to: ";
inline constexpr const char* kGreetingTail = ")\r\n";
inline constexpr const char* kServerGreetingOk = "+OK";
// The greeting's contact domain when neither the store nor the host names one.
inline constexpr const char* kFallbackContactDomain = "localhost";

// The waits of one e-mail connection.
struct EmailTimeouts {
  net::Timeout send{std::chrono::seconds(30)};         // greeting and USER line
  net::Timeout receive{std::chrono::seconds(300)};     // each byte of a read line
  net::Timeout line{std::chrono::seconds(300)};        // a whole line, from its first byte
  net::Timeout connect{std::chrono::seconds(120)};     // the server connection
  net::Timeout relay_idle{std::chrono::seconds(7200)}; // the relay without traffic
  std::chrono::seconds linger{30};
};

// ERR texts.
inline constexpr const char* kProcName = "EmailThreadProc";
inline constexpr const char* kTextNoClient = "EmailThreadProc:Receive Client Closed";
inline constexpr const char* kTextLimited = "EmailThreadProc:Limited by maximum connections.";
inline constexpr const char* kTextBadUser = "EmailThreadProc:Receive bad POP3 USER command";
inline constexpr const char* kTextNoServer =
    "EmailThreadProc:ResovlHostByName:Remote email server name is unspecified";
inline constexpr const char* kFormatUnresolved =
    "EmailThreadProc:ResovlHostByName:Remote email server (%s) is unresolved";
inline constexpr const char* kTextBadGreeting =
    "EmailThreadProc:Receive a bad greeting message from the remote POP3 server";

// Activity records and log lines.
inline constexpr const char* kFormatRequests = "Local %s:%u (%s) requests";
inline constexpr const char* kFormatUserLine = "Local %s:%u (%s) %s";
inline constexpr const char* kFormatSend = "Send: %s:%u (%s) -> Proxy %s:%u -> %s:%u (%s)";
inline constexpr const char* kFormatReceive = "Receive: %s:%u (%s) -> Proxy %s:%u -> %s:%u (%s)";
inline constexpr const char* kLabelSmtp = "SMTP";
inline constexpr const char* kLabelPop3 = "POP3";
inline constexpr const char* kLabelDial = "DIAL";
inline constexpr const char* kDialRequests = "Email requests";

}  // namespace qlm::ftp::mail
