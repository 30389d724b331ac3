// The datagram relay of a UDP association: one wait over the control
// connection, the relay socket, the outward socket and the stop wake-up; at
// most one datagram per ready socket per round.
#include "proxies/socks/socks_udp_relay.h"

#include <poll.h>

#include <cstdio>
#include <cstring>

#include "net/wait_set.h"
#include "net/winsock_errors.h"
#include "proxies/socks/socks_parse.h"
#include "proxies/socks/socks_session.h"

namespace qlm::socks {

using net::CBlockingSocketException;

namespace {

// The largest payload one IPv4 datagram carries.
constexpr size_t kMaxDatagramPayload = 65507;

bool SameAddress(const sockaddr_in& a, const sockaddr_in& b) {
  return a.sin_family == b.sin_family && a.sin_port == b.sin_port &&
         a.sin_addr.s_addr == b.sin_addr.s_addr;
}

}  // namespace

void CSocksSession::UdpAssociate() {
  CSocksUdpRelay relay(context_, client_, thread_, outward_);
  relay.Run(reply_);
}

CSocksUdpRelay::CSocksUdpRelay(engine::ConnectionContext& context, CClientSocket& client,
                               engine::ThreadTag thread, net::CBlockingSocket& outward)
    : context_(context), client_(client), thread_(thread), outward_(outward),
      buffer_(kDatagramBufferSize + kUdpReplyHeaderSize) {}

const std::string& CSocksUdpRelay::ClientName() {
  if (!client_name_known_) {
    client_name_ = HostNameOf(client_.client_address_);
    client_name_known_ = true;
  }
  return client_name_;
}

void CSocksUdpRelay::Run(SocksReply& reply) {
  if (RecordsWanted()) {
    const sockaddr_in& client = client_.client_address_;
    const std::string client_ip = IpText(client);
    const std::string requested = IpText(client_.dest_address_);
    const unsigned requested_port = PortOf(client_.dest_socket_address_);
    engine::WriteLog(thread_, engine::kKindRecord, "%s",
                     engine::ActivityLine(kLabelUdp, client_ip.c_str(), ClientName().c_str(),
                                          requested.c_str(), requested.c_str(), requested_port)
                         .c_str());
    engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatUdpAssociateActivity,
                           client_ip.c_str(), PortOf(client), requested_port,
                           ClientName().c_str(), client_.user_name_.c_str());
  }
  ChooseClientAddress();
  OpenRelaySocket(reply);
  while (WaitOnce() == Step::kGoOn) {
  }
  relay_.Close();
}

// Port 0 means "the port of my TCP connection", address 0 "my address".
void CSocksUdpRelay::ChooseClientAddress() {
  sockaddr_in& wanted = client_.dest_socket_address_;
  if (wanted.sin_port == 0) {
    wanted = client_.client_address_;
  } else if (wanted.sin_addr.s_addr == 0) {
    wanted.sin_addr = client_.client_address_.sin_addr;
  }
  client_udp_ = wanted;
  client_udp_.sin_family = AF_INET;
}

void CSocksUdpRelay::OpenRelaySocket(SocksReply& reply) {
  sockaddr_in proxy{};
  client_.GetSockName(&proxy);
  proxy.sin_port = 0;
  relay_.Create(net::kDatagram);
  relay_.Bind(proxy);
  relay_.GetSockName(&proxy);
  reply.address = proxy.sin_addr.s_addr;
  reply.port = proxy.sin_port;
  client_.SendSocksSuccess(reply);
}

CSocksUdpRelay::Step CSocksUdpRelay::WaitOnce() {
  net::CWaitSet set;
  const size_t control = set.Add(client_.Handle(), POLLIN);
  set.AddShutdown();
  const size_t relay = set.Add(relay_.Handle(), POLLIN);
  const bool has_outward = outward_.IsOpen();
  const size_t outward = has_outward ? set.Add(outward_.Handle(), POLLIN) : 0;
  switch (set.Wait(client_.Timeouts().relay_idle)) {
    case net::CWaitSet::Result::kTimedOut:
      client_.ShutdownReceive();
      client_.ShutdownSend();
      return Step::kEnd;
    case net::CWaitSet::Result::kError:
      if (set.Error() == net::WSAEINTR || set.Error() == net::WSAENOTSOCK) {
        return Step::kEnd;
      }
      throw CBlockingSocketException(kTextUdpSelect, set.Error());
    case net::CWaitSet::Result::kShutdown:
      return Step::kEnd;
    case net::CWaitSet::Result::kReady:
      break;
  }
  if (set.Ready(control, POLLIN) && HandleControl() == Step::kEnd) {
    return Step::kEnd;
  }
  if (set.Ready(relay, POLLIN)) {
    HandleClientDatagram();
  }
  if (has_outward && set.Ready(outward, POLLIN)) {
    HandleRemoteDatagram();
  }
  return Step::kGoOn;
}

// Nothing is expected on the control connection but its close.
CSocksUdpRelay::Step CSocksUdpRelay::HandleControl() {
  int error = 0;
  const int got = client_.ReceiveNow(buffer_.data(), static_cast<int>(kDatagramBufferSize), &error);
  if (got < 0) {
    if (error == net::WSAEWOULDBLOCK) {
      return Step::kGoOn;
    }
    throw CBlockingSocketException(kTextUdpControlRecv, error);
  }
  if (got == 0) {
    client_.ShutdownReceive();
    client_.ShutdownSend();
    return Step::kEnd;
  }
  char text[128];
  std::snprintf(text, sizeof(text), kFormatUdpControlBytes, got);
  engine::WriteLog(thread_, engine::kKindError, "%s", text);
  return Step::kGoOn;
}

void CSocksUdpRelay::HandleClientDatagram() {
  sockaddr_in sender{};
  int got = 0;
  try {
    got = relay_.ReceiveDatagram(buffer_.data(), static_cast<int>(kDatagramBufferSize), &sender,
                                 net::Timeout{0});
  } catch (const CBlockingSocketException& e) {
    throw CBlockingSocketException(kTextUdpRecvFrom, e.ErrorCode());
  }
  if (got < 0) {
    throw CBlockingSocketException(kTextUdpRecvFrom, net::WSAENOTSOCK);
  }
  if (got == 0 && sender.sin_family == 0) {
    return;  // the datagram went between the wait and the read
  }
  if (!SameAddress(sender, client_udp_)) {
    engine::WriteLog(thread_, engine::kKindError, "%s", kTextUdpNotMatching);
    return;
  }
  UdpHeader header;
  const auto* bytes = reinterpret_cast<const uint8_t*>(buffer_.data());
  if (ParseUdpHeader(bytes, static_cast<size_t>(got), &header) != ParseStatus::kDone) {
    return;
  }
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = header.address;
  if (header.address_type == kAtypDomain &&
      !net::CBlockingSocket::ResolveAddress(header.name.c_str(), &target)) {
    return;
  }
  target.sin_family = AF_INET;
  target.sin_port = header.port;
  client_.datagram_target_ = target;
  if (!outward_.IsOpen()) {
    outward_.Create(net::kDatagram);
  }
  outward_.SendDatagram(buffer_.data() + header.header_size,
                        got - static_cast<int>(header.header_size), target,
                        client_.Timeouts().datagram_send);
  sockaddr_in proxy{};
  outward_.GetSockName(&proxy);
  if (RecordsWanted()) {
    ReportOutgoing(proxy);
  }
}

void CSocksUdpRelay::HandleRemoteDatagram() {
  sockaddr_in sender{};
  int got = 0;
  char* payload = buffer_.data() + kUdpReplyHeaderSize;
  try {
    got = outward_.ReceiveDatagram(payload, static_cast<int>(kDatagramBufferSize), &sender,
                                   net::Timeout{0});
  } catch (const CBlockingSocketException&) {
    return;  // a failed receive from the Internet side costs one datagram only
  }
  if (got < 0 || (got == 0 && sender.sin_family == 0)) {
    return;
  }
  // Wrapped in the 10-byte header it would not fit one datagram; sending it
  // would fail and end the association for every other host as well.
  if (static_cast<size_t>(got) + kUdpReplyHeaderSize > kMaxDatagramPayload) {
    return;
  }
  sockaddr_in proxy{};
  outward_.GetSockName(&proxy);
  if (RecordsWanted()) {
    ReportIncoming(sender, proxy);
  }
  uint8_t header[kUdpReplyHeaderSize];
  BuildUdpReplyHeader(sender.sin_addr.s_addr, sender.sin_port, header);
  std::memcpy(buffer_.data(), header, sizeof(header));
  relay_.SendDatagram(buffer_.data(), got + static_cast<int>(kUdpReplyHeaderSize), client_udp_,
                      client_.Timeouts().datagram_send);
}

void CSocksUdpRelay::ReportOutgoing(const sockaddr_in& proxy) {
  const sockaddr_in& target = client_.datagram_target_;
  const std::string target_name = HostNameOf(target);
  const std::string target_ip = IpText(target);
  const std::string client_ip = IpText(client_udp_);
  engine::WriteLog(thread_, engine::kKindRecord, "%s",
                   engine::ActivityLine(kLabelUdp, client_ip.c_str(), ClientName().c_str(),
                                        target_ip.c_str(), target_name.c_str(), PortOf(target))
                       .c_str());
  engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatUdpOutActivity,
                         client_ip.c_str(), PortOf(client_udp_), ClientName().c_str(),
                         IpText(proxy).c_str(), PortOf(proxy), target_ip.c_str(), PortOf(target),
                         target_name.c_str());
}

void CSocksUdpRelay::ReportIncoming(const sockaddr_in& sender, const sockaddr_in& proxy) {
  const std::string sender_name = HostNameOf(sender);
  const std::string sender_ip = IpText(sender);
  const std::string client_ip = IpText(client_udp_);
  engine::WriteLog(thread_, engine::kKindRecord, "%s",
                   engine::ActivityLine(kLabelUdp, sender_ip.c_str(), sender_name.c_str(),
                                        client_ip.c_str(), ClientName().c_str(),
                                        PortOf(client_udp_))
                       .c_str());
  engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatUdpInActivity,
                         sender_ip.c_str(), PortOf(sender), sender_name.c_str(),
                         IpText(proxy).c_str(), PortOf(proxy), client_ip.c_str(),
                         PortOf(client_udp_), ClientName().c_str());
}

}  // namespace qlm::socks
