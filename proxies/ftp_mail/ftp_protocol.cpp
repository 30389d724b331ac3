// The FTP proxy's entry in the engine.
#include "proxies/ftp_mail/ftp_protocol.h"

#include "engine/timeout_overrides.h"

#include "proxies/ftp_mail/ftp_proxy_client.h"
#include "proxies/ftp_mail/ftp_session.h"

namespace qlm::ftp {
namespace {

std::unique_ptr<net::CBlockingSocket> MakeClient() {
  static const FtpProxyConfig config = [] {
    FtpProxyConfig c;
    c.timeouts.client.byte = engine::TimeoutOr("ftp.byte", c.timeouts.client.byte);
    c.timeouts.client.line = engine::TimeoutOr("ftp.line", c.timeouts.client.line);
    c.timeouts.idle = engine::TimeoutOr("ftp.idle", c.timeouts.idle);
    return c;
  }();
  return std::make_unique<CFtpProxyClient>(config);
}

}  // namespace

const engine::StreamProtocol& FtpProtocol() {
  static const engine::StreamProtocol entry{"FTP", &MakeClient, &FtpCmdThreadProc};
  return entry;
}

}  // namespace qlm::ftp
