// A poll(2) wait over several descriptors, with the shutdown wake-up in the set
// when asked. poll, never select: select's fd_set corrupts memory once a
// descriptor number reaches 1024, which 2000 connections reach.
#pragma once

#include <poll.h>

#include <array>
#include <cstddef>
#include <vector>

#include "net/timeout.h"

namespace qlm::net {

class CWaitSet {
 public:
  // Result of Wait, in the order the socket layer tests them.
  enum class Result { kTimedOut, kError, kShutdown, kReady };

  // `events` is POLLIN (read set), POLLOUT (write set) or both; POLLPRI asks
  // for the exception set. Add returns the entry's index.
  size_t Add(int fd, short events);
  // Puts the shutdown wake-up into the set (at the current position).
  void AddShutdown();
  void Clear();

  // Waits up to `timeout` (kWaitForever: no limit). Interrupted waits are
  // retried with the remaining time. A flagged shutdown wins over ready sockets.
  Result Wait(Timeout timeout);

  // After a kReady wait: whether entry `index` reported any of `events`
  // (POLLERR/POLLHUP count as readable and writable, as select reports them).
  bool Ready(size_t index, short events) const;
  // The errno of a kError wait, as a Winsock number.
  int Error() const { return error_; }

 private:
  pollfd* Entries() { return count_ <= kInline ? inline_.data() : spill_.data(); }
  const pollfd* Entries() const { return count_ <= kInline ? inline_.data() : spill_.data(); }

  // Waits of the socket layer and the relay hold two or three entries: those
  // live inline, so a wait per relayed chunk allocates nothing.
  static constexpr size_t kInline = 4;
  std::array<pollfd, kInline> inline_{};
  std::vector<pollfd> spill_;
  size_t count_ = 0;
  int shutdown_index_ = -1;
  int error_ = 0;
};

}  // namespace qlm::net
