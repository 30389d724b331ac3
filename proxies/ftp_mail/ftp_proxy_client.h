// The client object of the FTP proxy's daemon: the command socket plus the
// proxy's configuration, which the protocol entry hands it at the accept so
// the session needs nothing global (tests make it with short time-outs).
#pragma once

#include "proxies/ftp_mail/ftp_cmd_socket.h"
#include "proxies/ftp_mail/ftp_config.h"

namespace qlm::ftp {

class CFtpProxyClient : public CFtpCmdSocket {
 public:
  explicit CFtpProxyClient(const FtpProxyConfig& config = {})
      : CFtpCmdSocket(config.timeouts.client), config_(config) {}

  const FtpProxyConfig& Config() const { return config_; }

 private:
  FtpProxyConfig config_;
};

}  // namespace qlm::ftp
