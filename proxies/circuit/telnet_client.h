// The client object of the "Telnet" daemon: the FTP side's command socket
// (line reading with echo and option answers) plus the session's own waits,
// handed to it at the accept (tests make it with short ones).
#pragma once

#include "proxies/circuit/telnet_wire.h"
#include "proxies/ftp_mail/ftp_cmd_socket.h"

namespace qlm::circuit {

struct TelnetConfig {
  ftp::FtpCmdTimeouts command;
  TelnetTimeouts session;
};

class CTelnetClient : public ftp::CFtpCmdSocket {
 public:
  explicit CTelnetClient(const TelnetConfig& config = {})
      : ftp::CFtpCmdSocket(config.command), session_timeouts_(config.session) {}

  const TelnetTimeouts& SessionTimeouts() const { return session_timeouts_; }

 private:
  TelnetTimeouts session_timeouts_;
};

}  // namespace qlm::circuit
