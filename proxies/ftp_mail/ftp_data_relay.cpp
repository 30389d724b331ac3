// The data connection thread.
#include "proxies/ftp_mail/ftp_data_relay.h"

#include <arpa/inet.h>

#include "engine/connection_worker.h"
#include "engine/socks_pump.h"
#include "proxies/ftp_mail/ftp_wire.h"

namespace qlm::ftp {

void CFtpDataSession::Run() {
  net::CBlockingSocket* client_side = context_.Peer.get();
  if (client_side == nullptr) {
    return;  // nothing to relay to
  }
  sockaddr_in server{};
  sockaddr_in client{};
  sockaddr_in proxy{};
  server_side_.GetPeerName(&server);
  client_side->GetPeerName(&client);
  server_side_.GetSockName(&proxy);
  engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatDataActivity,
                         net::DottedAddress(server.sin_addr).c_str(),
                         unsigned{ntohs(server.sin_port)},
                         net::DottedAddress(proxy.sin_addr).c_str(),
                         unsigned{ntohs(proxy.sin_port)},
                         net::DottedAddress(client.sin_addr).c_str(),
                         unsigned{ntohs(client.sin_port)});
  engine::CSocksPump pump(&server_side_, client_side, server_side_.SendTimeout());
  pump.Pump(server_side_.Idle());
}

int FtpDataThreadProc(engine::ConnectionContextPtr context) {
  static constexpr engine::WorkerTexts kTexts{.proc = "FtpDataThreadProc",
                                              .no_client = kTextNoClient,
                                              .use_message = true,
                                              .suffix = kSuffixDataConnection,
                                              .limit = nullptr};
  return engine::RunWorker<CFtpDataSession>(std::move(context), kTexts);
}

}  // namespace qlm::ftp
