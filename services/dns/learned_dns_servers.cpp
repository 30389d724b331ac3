// The learned servers and the reply-seen flag.
#include "services/dns/learned_dns_servers.h"

#include <algorithm>

namespace qlm::dns {

CLearnedDnsServers& CLearnedDnsServers::Instance() {
  static CLearnedDnsServers servers;
  return servers;
}

size_t CLearnedDnsServers::Add(in_addr server) {
  std::lock_guard lock(mutex_);
  const bool known = std::any_of(servers_.begin(), servers_.end(),
                                 [&](in_addr a) { return a.s_addr == server.s_addr; });
  if (!known) {
    servers_.push_back(server);
  }
  return servers_.size();
}

std::vector<in_addr> CLearnedDnsServers::Copy() const {
  std::lock_guard lock(mutex_);
  return servers_;
}

void CLearnedDnsServers::MarkReplySeen() {
  std::lock_guard lock(mutex_);
  reply_seen_ = true;
}

bool CLearnedDnsServers::ReplySeen() const {
  std::lock_guard lock(mutex_);
  return reply_seen_;
}

void CLearnedDnsServers::ResetForTest() {
  std::lock_guard lock(mutex_);
  servers_.clear();
  reply_seen_ = false;
}

}  // namespace qlm::dns
