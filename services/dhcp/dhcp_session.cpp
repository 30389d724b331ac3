// Serving one DHCP message: DISCOVER, REQUEST in its four client states,
// DECLINE, RELEASE and INFORM, and sending the replies.
#include "services/dhcp/dhcp_session.h"

#include <arpa/inet.h>

#include "net/blocking_socket_exception.h"
#include "services/dhcp/dhcp_client_thread.h"

namespace qlm::dhcp {

namespace {

std::string Dotted(uint32_t net_order) { return net::DottedAddress(in_addr{net_order}); }

}  // namespace

CDhcpSession::CDhcpSession(engine::ConnectionContext& context, Client& client,
                           engine::ThreadTag thread)
    : context_(context),
      client_(client),
      thread_(thread),
      server_(client.Server()),
      request_(client.Message()),
      client_id_(client.ClientId()),
      xid_(XidNumber(client.Message())),
      lease_time_number_(static_cast<int32_t>(client.Server().LeaseTime())) {}

void CDhcpSession::Refuse() { LogDhcpDropped(thread_); }

void CDhcpSession::Run() {
  switch (MessageType(request_)) {
    case kDhcpDiscover:
      Discover();
      break;
    case kDhcpRequest:
      Request();
      break;
    case kDhcpDecline:
      Decline();
      break;
    case kDhcpRelease:
      Release();
      break;
    case kDhcpInform:
      Record(kRecordInform, xid_);
      break;
    default:
      throw net::CBlockingSocketException(kTextUnknownType);
  }
}

void CDhcpSession::Discover() {
  const std::string host_name = HostName(request_);
  Record(kRecordDiscover, client_id_.c_str(), xid_, host_name.c_str());
  const uint32_t requested = AddressOption(request_, kOptRequestedIp).value_or(0);
  const std::optional<DhcpLease> lease =
      server_.Table().Offer(client_id_, ntohl(requested), host_name);
  if (!lease) {
    return;
  }
  const uint32_t yiaddr = htonl(lease->address);
  SendOfferOrAck(kDhcpOffer, yiaddr);
  Record(kRecordOffer, client_id_.c_str(), xid_, host_name.c_str(), Dotted(yiaddr).c_str(),
         lease_time_number_);
}

void CDhcpSession::Request() {
  Record(kRecordRequest, client_id_.c_str(), xid_);
  if (AddressField(request_, kOffCiaddr) != 0) {
    RequestRenewing();
    return;
  }
  const std::optional<uint32_t> requested = AddressOption(request_, kOptRequestedIp);
  if (!requested) {
    return;
  }
  if (const std::optional<uint32_t> server_id = AddressOption(request_, kOptServerId)) {
    RequestSelecting(*requested, *server_id);
  } else {
    RequestInitReboot(*requested);
  }
}

// RENEWING or REBINDING: the client names its address in ciaddr.
void CDhcpSession::RequestRenewing() {
  const uint32_t ciaddr = AddressField(request_, kOffCiaddr);
  if (!server_.Table().Confirm(client_id_, ntohl(ciaddr), server_.LeaseTime())) {
    return;
  }
  SendOfferOrAck(kDhcpAck, ciaddr);
  Record(kRecordAckRenew, client_id_.c_str(), xid_, Dotted(ciaddr).c_str(), lease_time_number_);
}

// SELECTING: the client answers one server's offer.
void CDhcpSession::RequestSelecting(uint32_t requested, uint32_t server_id) {
  if (server_id != client_.Local().sin_addr.s_addr) {
    return;  // the client chose another server
  }
  if (server_.Table().Confirm(client_id_, ntohl(requested), server_.LeaseTime())) {
    SendOfferOrAck(kDhcpAck, requested);
    Record(kRecordAckSelect, client_id_.c_str(), xid_, Dotted(requested).c_str(),
           lease_time_number_);
  } else {
    SendNak();
    Record(kRecordNakSelect, client_id_.c_str(), xid_, Dotted(requested).c_str());
  }
}

// INIT-REBOOT: a client that kept its address across a restart.
void CDhcpSession::RequestInitReboot(uint32_t requested) {
  const int known =
      server_.Table().CheckInitReboot(client_id_, ntohl(requested), server_.LeaseTime());
  if (known == 1) {
    SendOfferOrAck(kDhcpAck, requested);
    Record(kRecordAckInitReboot, client_id_.c_str(), xid_, Dotted(requested).c_str(),
           lease_time_number_);
  } else if (known == 0) {
    SendNak();
    Record(kRecordNakInitReboot, client_id_.c_str(), xid_, Dotted(requested).c_str());
  } else {
    server_.Table().MarkUsed(ntohl(requested));
    engine::WriteLog(thread_, engine::kKindError, kErrNoRecord, Dotted(requested).c_str());
  }
}

void CDhcpSession::Decline() {
  const uint32_t declined = AddressOption(request_, kOptRequestedIp).value_or(0);
  const std::string text = Dotted(declined);
  Record(kRecordDecline, xid_, text.c_str());
  engine::WriteLog(thread_, engine::kKindError, kErrDecline, text.c_str());
  server_.Table().MarkUsed(ntohl(declined));
}

void CDhcpSession::Release() {
  const uint32_t ciaddr = AddressField(request_, kOffCiaddr);
  Record(kRecordRelease, client_id_.c_str(), xid_, Dotted(ciaddr).c_str());
  server_.Table().Release(client_id_, ntohl(ciaddr));
}

void CDhcpSession::SendOfferOrAck(uint8_t type, uint32_t yiaddr) {
  const engine::DhcpSettings& settings = server_.Config().settings;
  ReplyOptions options;
  in_addr mask{};
  inet_pton(AF_INET, settings.Netmask.c_str(), &mask);
  options.netmask = mask.s_addr;
  options.lease_time = server_.LeaseTime();
  options.server_id = client_.Local().sin_addr.s_addr;
  options.routers = settings.DefaultGateway != 0 ? std::vector<uint32_t>{options.server_id}
                                                 : AddressList(settings.Gateway);
  options.dns_servers = settings.DefaultDNS != 0 ? std::vector<uint32_t>{options.server_id}
                                                 : AddressList(settings.DNS);
  Send(BuildOfferOrAck(request_, type, yiaddr, options));
}

void CDhcpSession::SendNak() { Send(BuildNak(request_, client_.Local().sin_addr.s_addr)); }

void CDhcpSession::Send(const Reply& reply) {
  const DhcpReplyPorts& ports = server_.Config().ports;
  const uint32_t giaddr = AddressField(request_, kOffGiaddr);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  if (giaddr == 0) {
    to.sin_addr.s_addr = ports.broadcast;
    to.sin_port = htons(ports.client_port);
  } else {
    to.sin_addr.s_addr = giaddr;
    to.sin_port = htons(ports.relay_port);
  }
  client_.SendReply(reply.bytes.data(), SendLength(reply), to, server_.Config().timeouts.send,
                    giaddr == 0 ? kTextSendClientFailed : kTextSendRouterFailed);
}

}  // namespace qlm::dhcp
