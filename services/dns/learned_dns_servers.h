// The engine-wide memory of the relay: the servers it learned by
// broadcasting (in the order learned, no duplicates, never forgotten while
// the engine runs) and whether any upstream server has ever answered. Until
// one has, a relay seeks servers by broadcast; afterwards it asks the
// learned ones directly. Shared by every DNS request, behind one lock.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <mutex>
#include <vector>

namespace qlm::dns {

class CLearnedDnsServers {
 public:
  static CLearnedDnsServers& Instance();

  // Appends the address unless it is known; the list's length.
  size_t Add(in_addr server);
  // A copy of the list.
  std::vector<in_addr> Copy() const;
  // UpstreamReplySeen: set by the first valid upstream reply, never cleared.
  void MarkReplySeen();
  bool ReplySeen() const;

  // Tests: back to the state at engine start.
  void ResetForTest();

 private:
  mutable std::mutex mutex_;
  std::vector<in_addr> servers_;  // Guarded by mutex_ (LearnedDnsServers)
  bool reply_seen_ = false;       // Guarded by mutex_ (UpstreamReplySeen)
};

}  // namespace qlm::dns
