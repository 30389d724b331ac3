// UDP ASSOCIATE: a datagram socket on the proxy faces the client, another
// (opened with the first datagram) faces the Internet hosts; the association
// lives as long as the client's TCP connection and is idle at most the relay
// time-out.
#pragma once

#include <netinet/in.h>

#include <string>
#include <vector>

#include "engine/activity_log.h"
#include "engine/connection_context.h"
#include "net/blocking_socket.h"
#include "proxies/socks/client_socket.h"

namespace qlm::socks {

class CSocksUdpRelay {
 public:
  // `outward` is the session's outward socket, opened here on first use and
  // closed by the session's end.
  CSocksUdpRelay(engine::ConnectionContext& context, CClientSocket& client,
                 engine::ThreadTag thread, net::CBlockingSocket& outward);

  // Answers the request with the relay socket's address and relays until the
  // client closes its connection, the association is idle too long or the
  // engine stops. Throws CBlockingSocketException for the failures that end
  // the association with an ERR line.
  void Run(SocksReply& reply);

 private:
  enum class Step { kGoOn, kEnd };
  void ChooseClientAddress();
  void OpenRelaySocket(SocksReply& reply);
  Step WaitOnce();
  Step HandleControl();
  void HandleClientDatagram();
  void HandleRemoteDatagram();
  void ReportOutgoing(const sockaddr_in& proxy);
  void ReportIncoming(const sockaddr_in& sender, const sockaddr_in& proxy);
  const std::string& ClientName();

  engine::ConnectionContext& context_;
  CClientSocket& client_;
  engine::ThreadTag thread_;
  net::CBlockingSocket& outward_;
  net::CBlockingSocket relay_;
  // The one address client datagrams are accepted from.
  sockaddr_in client_udp_{AF_INET, 0, {0}, {0}};
  std::string client_name_;
  bool client_name_known_ = false;
  std::vector<char> buffer_;
};

}  // namespace qlm::socks
