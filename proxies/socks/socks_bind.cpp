// BIND: the proxy listens for one inbound connection on the client's behalf,
// answers twice (once listening, once connected) and relays; only the host
// the client named may connect.
#include <cstdio>

#include "engine/socks_pump.h"
#include "proxies/socks/socks_session.h"

namespace qlm::socks {

using net::CBlockingSocketException;

void CSocksSession::Bind() {
  const SocksTimeouts& timeouts = client_.Timeouts();
  net::CBlockingSocket listener;
  listener.Create(net::kStream);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  listener.Bind(any);
  sockaddr_in listening{};
  listener.GetSockName(&listening);
  listener.Listen(kBindBacklog);
  reply_.address = listening.sin_addr.s_addr;
  reply_.port = listening.sin_port;
  client_.SendSocksSuccess(reply_);

  listener.SetNonBlockingMode();
  sockaddr_in peer{};
  if (!listener.Accept(accepted_, &peer, timeouts.bind_accept)) {
    throw CBlockingSocketException("CBlockingSocket::Accept");
  }
  listener.SetBlockingMode();
  listener.Close();
  accepted_.SetBlockingMode();
  accepted_.SetOutOfBadDisable();
  accepted_.SetLingerOn(timeouts.linger);
  sockaddr_in proxy{};
  accepted_.GetSockName(&proxy);
  reply_.address = peer.sin_addr.s_addr;
  reply_.port = peer.sin_port;

  if (RecordsWanted()) {
    ReportBind(peer, proxy);
  }
  CheckBindPeer(peer);
  client_.SendSocksSuccess(reply_);
  engine::CSocksPump pump(&client_, &accepted_, timeouts.handshake);
  pump.Pump(timeouts.relay_idle);
}

void CSocksSession::ReportBind(const sockaddr_in& peer, const sockaddr_in& proxy) {
  const sockaddr_in& client = client_.client_address_;
  const std::string peer_name = HostNameOf(peer);
  const std::string client_name = HostNameOf(client);
  const std::string peer_ip = IpText(peer);
  const std::string client_ip = IpText(client);
  engine::WriteLog(thread_, engine::kKindRecord, "%s",
                   engine::ActivityLine(kLabelBind, peer_ip.c_str(), peer_name.c_str(),
                                        client_ip.c_str(), client_name.c_str(), PortOf(client))
                       .c_str());
  engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatBindActivity,
                         peer_ip.c_str(), PortOf(peer), peer_name.c_str(), IpText(proxy).c_str(),
                         PortOf(proxy), client_ip.c_str(), PortOf(client), client_name.c_str());
}

// The peer must come from the address the client named, and from its port
// unless the client named port 0. A stranger gets the failure reply.
void CSocksSession::CheckBindPeer(const sockaddr_in& peer) {
  const char* format = nullptr;
  if (peer.sin_addr.s_addr != client_.dest_address_) {
    format = kFormatBindWrongHost;
  } else if (client_.dest_port_ != 0 && client_.dest_port_ != peer.sin_port) {
    format = kFormatBindWrongPort;
  } else {
    return;
  }
  // The name is looked up for the text even without records.
  const std::string peer_name = net::CBlockingSocket::LookupHostName(peer, kHostNameSize);
  char text[kHostNameSize + 96];
  std::snprintf(text, sizeof(text), format, peer_name.c_str(), PortOf(peer));
  client_.SendSocksFailure(reply_);
  throw CBlockingSocketException(text);
}

}  // namespace qlm::socks
