// The relay's steps.
#include "services/dns/dns_relay.h"

#include <arpa/inet.h>

#include <algorithm>
#include <chrono>

#include "services/dns/dns_wire.h"
#include "services/dns/learned_dns_servers.h"

namespace qlm::dns {

using net::CBlockingSocketException;
using Clock = std::chrono::steady_clock;

namespace {

net::Timeout Remaining(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<net::Timeout>(deadline - Clock::now());
  return std::max(left, net::Timeout::zero());
}

}  // namespace

CDnsRelay::CDnsRelay(const DnsConfig& config, const engine::DnsSettings& settings,
                     const Bytes& query)
    : config_(config), settings_(settings), query_(query) {}

Bytes CDnsRelay::Run() {
  upstream_.Create(net::kDatagram);
  SendToUpstreams(query_);
  Bytes reply;
  if (AwaitReply(&reply)) {
    return reply;
  }
  if (query_.size() > kReplyBufferSize) {
    throw CBlockingSocketException(kTextUpstreamTimeout, 0, net::kOtherTimeout);
  }
  // The client's own query is echoed, with the flags it sent (a broadcast
  // copy had RD cleared).
  return BuildNameErrorEcho(query_);
}

// Send errors toward a server are ignored: another server may answer.
void CDnsRelay::SendToUpstreams(const Bytes& query) {
  const auto send = [&](const Bytes& bytes, const sockaddr_in& to) {
    try {
      upstream_.SendDatagram(reinterpret_cast<const char*>(bytes.data()),
                             static_cast<int>(bytes.size()), to, config_.timeouts.send);
    } catch (const CBlockingSocketException&) {
    }
  };
  for (const std::string& server : settings_.Servers) {
    const sockaddr_in to = net::MakeAddress(server, kDnsPort);
    if (to.sin_addr.s_addr == INADDR_NONE) {
      continue;
    }
    send(query, to);
    sent_to_.push_back(to.sin_addr);
  }
  if (settings_.Broadcast == 0) {
    return;
  }
  CLearnedDnsServers& learned = CLearnedDnsServers::Instance();
  if (learned.ReplySeen()) {
    for (const in_addr& server : learned.Copy()) {
      sockaddr_in to{AF_INET, htons(kDnsPort), server, {0}};
      send(query, to);
    }
    return;
  }
  upstream_.SetBroadcastOn();
  Bytes seeking = query;
  seeking[kFlags1] &= static_cast<uint8_t>(~kFlagRd);
  send(seeking, config_.broadcast_to);
  broadcast_sent_ = true;
}

// The whole wait is bounded, however many unusable datagrams arrive in it.
bool CDnsRelay::AwaitReply(Bytes* reply) {
  const Clock::time_point deadline = Clock::now() + config_.timeouts.upstream_reply;
  char buffer[kReplyBufferSize];
  for (net::Timeout left = Remaining(deadline); left > net::Timeout::zero();
       left = Remaining(deadline)) {
    sockaddr_in from{};
    const int got = upstream_.ReceiveDatagram(buffer, sizeof(buffer), &from, left);
    if (got <= 0) {
      return false;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(buffer);
    if (!IsUsableUpstreamReply(bytes, static_cast<size_t>(got), from)) {
      continue;
    }
    CLearnedDnsServers::Instance().MarkReplySeen();
    if (broadcast_sent_ && !SentTo(from)) {
      CLearnedDnsServers::Instance().Add(from.sin_addr);
    }
    reply_accepted_ = true;
    reply->assign(bytes, bytes + got);
    return true;
  }
  return false;
}

// Further answers to the broadcast name further servers, up to three known.
void CDnsRelay::LearnServers() {
  if (!broadcast_sent_ || !reply_accepted_) {
    return;
  }
  const Clock::time_point deadline = Clock::now() + config_.timeouts.learning;
  char buffer[kReplyBufferSize];
  for (net::Timeout left = Remaining(deadline); left > net::Timeout::zero();
       left = Remaining(deadline)) {
    sockaddr_in from{};
    const int got = upstream_.ReceiveDatagram(buffer, sizeof(buffer), &from, left);
    if (got <= 0) {
      return;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(buffer);
    if (!IsUsableUpstreamReply(bytes, static_cast<size_t>(got), from) || SentTo(from)) {
      continue;
    }
    if (CLearnedDnsServers::Instance().Add(from.sin_addr) >= 3) {
      return;
    }
  }
}

bool CDnsRelay::SentTo(const sockaddr_in& from) const {
  return std::any_of(sent_to_.begin(), sent_to_.end(),
                     [&](in_addr a) { return a.s_addr == from.sin_addr.s_addr; });
}

}  // namespace qlm::dns
