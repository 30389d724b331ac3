// One DNS request on its worker thread: the request check, dial on demand,
// then the local answer or the relay to upstream servers (CDnsRelay), the
// reply to the client and, after a broadcast, the learning of further
// servers. Every failure ends the request without a reply and without a
// record.
#pragma once

#include <string>

#include "engine/activity_log.h"
#include "engine/config/protocol_settings.h"
#include "engine/connection_context.h"
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
  // The client's address and name as the records show them.
  struct ClientText {
    std::string ip;
    std::string name;
  };

  void Serve();
  void ReportLookup(ClientText& client);
  void DialIfWanted(const ClientText& client);
  Bytes LocalAnswer();
  void SendReply(const Bytes& reply);

  engine::ConnectionContext& context_;
  CDnsDgClientSocket& client_;
  engine::ThreadTag thread_;
  DnsConfig config_;
  // The daemon's own settings, which live as long as the engine.
  const engine::DnsSettings* settings_;
};

// Whether building log lines and activity records is worth it now.
bool DnsRecordsWanted();

}  // namespace qlm::dns
