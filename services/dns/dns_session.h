// One DNS request on its worker thread: the request check, dial on demand,
// then the local answer or the relay to upstream servers, the reply to the
// client and, after a broadcast, the learning of further servers. Every
// failure ends the request without a reply and without a record.
#pragma once

#include <netinet/in.h>

#include <string>
#include <vector>

#include "engine/activity_log.h"
#include "engine/config/protocol_settings.h"
#include "engine/connection_context.h"
#include "net/blocking_socket.h"
#include "services/dns/dns_answer.h"
#include "services/dns/dns_config.h"
#include "services/dns/dns_dg_client_socket.h"

namespace qlm::dns {

class CDnsSession {
 public:
  using Client = CDnsDgClientSocket;

  CDnsSession(engine::ConnectionContext& context, CDnsDgClientSocket& client,
              engine::ThreadTag thread);

  // Serves the request; swallows its own CBlockingSocketException (the
  // client then gets no reply). Other failures reach the worker.
  void Run();
  // No worker free: the datagram is dropped, with at most one ERR line a
  // second for all such drops.
  void Refuse();

 private:
  void Serve();
  void ReportLookup();
  void DialIfWanted();
  Bytes LocalAnswer();
  // Relays to the servers (and by broadcast); the reply for the client.
  Bytes Relay();
  void SendToUpstreams(const Bytes& query);
  bool AwaitReply(Bytes* reply);
  void LearnServers();
  bool SentTo(const sockaddr_in& from) const;
  void SendReply(const Bytes& reply);

  engine::ConnectionContext& context_;
  CDnsDgClientSocket& client_;
  engine::ThreadTag thread_;
  DnsConfig config_;
  engine::DnsSettings settings_;
  std::string client_ip_;
  std::string client_name_;
  // The upstream socket and the servers the query went to by name.
  net::CBlockingSocket upstream_;
  std::vector<in_addr> sent_to_;
  bool broadcast_sent_ = false;
  bool reply_accepted_ = false;
};

// Whether building log lines and activity records is worth it now.
bool DnsRecordsWanted();

}  // namespace qlm::dns
