// A DNS request's session: the check, dial on demand, the local answer and
// the reply to the client. The relay's steps are in dns_relay.cpp.
#include "services/dns/dns_session.h"

#include "dialup/dial_up_manager.h"
#include "net/borrowed_socket.h"
#include "net/host_cache.h"
#include "services/dns/dns_dg_client_thread.h"
#include "services/dns/dns_relay.h"
#include "services/dns/dns_wire.h"

namespace qlm::dns {

using net::CBlockingSocketException;

namespace {

// The dispatcher hands the DNS protocol datagrams of its daemon listeners
// only, never of a port mapping; a listener without settings gets the
// defaults.
const engine::DnsSettings* SettingsOf(const engine::CListenerRecord* listener) {
  static const engine::DnsSettings kDefaults;
  const auto* daemon = static_cast<const engine::DaemonRecord*>(listener);
  return daemon != nullptr && daemon->dns ? daemon->dns.get() : &kDefaults;
}

}  // namespace

bool DnsRecordsWanted() { return engine::LogOpen() || engine::ActivityWanted(); }

CDnsSession::CDnsSession(engine::ConnectionContext& context, CDnsDgClientSocket& client,
                         engine::ThreadTag thread)
    : context_(context),
      client_(client),
      thread_(thread),
      config_(DnsConfiguration()),
      settings_(SettingsOf(context.Daemon)) {}

void CDnsSession::Refuse() { LogWorkersBusy(); }

void CDnsSession::Run() {
  try {
    Serve();
  } catch (const CBlockingSocketException&) {
    // The request ends without a reply and without a record.
  }
}

void CDnsSession::Serve() {
  if (!client_.CheckRequest()) {
    throw CBlockingSocketException(kTextInvalidRequest);
  }
  const bool dial = config_.dial_up && dialup::DialUpManager::Instance().AutoDialWanted(true);
  ClientText client{net::DottedAddress(client_.Sender().sin_addr), ""};
  ReportLookup(client);
  if (dial) {
    DialIfWanted(client);
  }
  if (settings_->Forward == 0) {
    SendReply(LocalAnswer());
    return;
  }
  CDnsRelay relay(config_, *settings_, client_.Datagram());
  SendReply(relay.Run());
  relay.LearnServers();
}

void CDnsSession::ReportLookup(ClientText& client) {
  if (!DnsRecordsWanted()) {
    return;
  }
  client.name = net::CBlockingSocket::LookupHostName(client_.Sender());
  engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatLookupActivity,
                         client.ip.c_str(), client.name.c_str(), client_.QueryName().c_str());
}

void CDnsSession::DialIfWanted(const ClientText& client) {
  dialup::DialUpManager& dialup = dialup::DialUpManager::Instance();
  dialup.RequestDial();
  if (DnsRecordsWanted()) {
    engine::WriteLog(thread_, engine::kKindRecord, "%s",
                     engine::ActivityLine(kLabelDial, client.ip.c_str(), client.name.c_str(),
                                          kNoRemote, client_.QueryName().c_str(), 0,
                                          kTextDialReason)
                         .c_str());
  }
  dialup.WaitForConnection();
}

// A name the resolver knows gets its addresses when A/IN was asked, an empty
// answer for any other type (so a resolver asking A and AAAA together need
// not wait); an unknown name gets the name error.
Bytes CDnsSession::LocalAnswer() {
  const Bytes& query = client_.Datagram();
  const DnsRequest& request = client_.Request();
  const net::HostEntry entry = net::CHostCache::Instance().Lookup(request.name.c_str());
  if (entry.Empty() || entry.addresses.empty()) {
    return BuildNameError(query, request);
  }
  if (!request.IsAddressQuery()) {
    return BuildEmptyAnswer(query, request);
  }
  LocalHost host{entry.name, entry.addresses};
  return BuildAddressAnswer(query, request, host, settings_->TTL);
}

void CDnsSession::SendReply(const Bytes& reply) {
  if (context_.Daemon == nullptr || !context_.Daemon->socket.IsOpen()) {
    throw CBlockingSocketException(kTextSendToClient);
  }
  net::CBorrowedSocket daemon_socket(context_.Daemon->socket.Handle());
  try {
    daemon_socket.SendDatagram(reinterpret_cast<const char*>(reply.data()),
                               static_cast<int>(reply.size()), client_.Sender(),
                               config_.timeouts.send);
  } catch (const CBlockingSocketException&) {
    throw CBlockingSocketException(kTextSendToClient);
  }
}

}  // namespace qlm::dns
