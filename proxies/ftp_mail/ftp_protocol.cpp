// The FTP proxy's entry in the engine.
#include "proxies/ftp_mail/ftp_protocol.h"

#include "proxies/ftp_mail/ftp_proxy_client.h"
#include "proxies/ftp_mail/ftp_session.h"

namespace qlm::ftp {
namespace {

std::unique_ptr<net::CBlockingSocket> MakeClient() {
  return std::make_unique<CFtpProxyClient>(FtpProxyConfig{});
}

}  // namespace

const engine::StreamProtocol& FtpProtocol() {
  static const engine::StreamProtocol entry{"FTP", &MakeClient, &FtpCmdThreadProc};
  return entry;
}

}  // namespace qlm::ftp
