// The relay to upstream servers for one request: the query unchanged to the
// configured servers, then to the learned ones, or (until any server has
// answered) by broadcast with RD cleared; the wait for a usable reply; the
// name-error echo when none comes; and after a broadcast the learning of the
// further servers that answer it.
#pragma once

#include <netinet/in.h>

#include <vector>

#include "engine/config/protocol_settings.h"
#include "net/blocking_socket.h"
#include "services/dns/dns_answer.h"
#include "services/dns/dns_config.h"

namespace qlm::dns {

class CDnsRelay {
 public:
  // `query` is the client's datagram as received; all three outlive the relay.
  CDnsRelay(const DnsConfig& config, const engine::DnsSettings& settings, const Bytes& query);

  // Sends the query and waits (config.timeouts.upstream_reply in all) for a
  // usable reply; the reply for the client, byte for byte, or the echo of the
  // query as a name error. Throws CBlockingSocketException "Time out when
  // waiting remote DNS" (other -10) when no reply came for a query longer
  // than 512 bytes, and the socket layer's texts when the upstream socket
  // cannot be made.
  Bytes Run();
  // After a broadcast whose reply was accepted: learns the further servers
  // that answer it, until three are known or config.timeouts.learning has
  // passed. Otherwise nothing.
  void LearnServers();

 private:
  void SendToUpstreams(const Bytes& query);
  bool AwaitReply(Bytes* reply);
  bool SentTo(const sockaddr_in& from) const;

  const DnsConfig& config_;
  const engine::DnsSettings& settings_;
  const Bytes& query_;
  net::CBlockingSocket upstream_;
  std::vector<in_addr> sent_to_;  // the servers asked by name
  bool broadcast_sent_ = false;
  bool reply_accepted_ = false;
};

}  // namespace qlm::dns
