// What the FTP side works from: the waits of the server connection and of
// the client's command socket, and the FTP proxy's own. The protocol entry
// hands them to every client object it makes; tests pass shorter ones.
#pragma once

#include <chrono>
#include <cstdint>

#include "net/timeout.h"
#include "proxies/ftp_mail/ftp_wire.h"

namespace qlm::ftp {

// FTPclient, the engine's control connection to an FTP server.
struct FtpClientTimeouts {
  net::Timeout connect{std::chrono::seconds(120)};  // control and passive data connects
  net::Timeout reply{std::chrono::seconds(300)};    // each reply line, and a whole reply
  net::Timeout send{std::chrono::seconds(30)};      // each command
  net::Timeout accept{std::chrono::seconds(120)};   // an active-mode data connection
  std::chrono::seconds linger{30};
};

// CFtpCmdSocket, the client's side of an FTP or Telnet session.
struct FtpCmdTimeouts {
  net::Timeout byte{std::chrono::seconds(300)};   // each byte of a command line
  net::Timeout line{std::chrono::seconds(300)};   // a whole line, from its first byte
  net::Timeout send{std::chrono::seconds(30)};    // replies, echoes, Telnet answers
};

// The FTP proxy.
struct FtpTimeouts {
  FtpClientTimeouts server;
  FtpCmdTimeouts client;
  net::Timeout idle{std::chrono::seconds(900)};          // no traffic on any socket
  net::Timeout relay_send{std::chrono::seconds(30)};     // replies and commands relayed
  net::Timeout data_connect{std::chrono::seconds(30)};   // the data connection to the client
  net::Timeout data_idle{std::chrono::seconds(7200)};    // a data relay without traffic
  std::chrono::seconds linger{30};
};

struct FtpProxyConfig {
  FtpTimeouts timeouts;
  // The server's control port (tests point it at a server of their own).
  uint16_t server_port = kFtpPort;
};

}  // namespace qlm::ftp
