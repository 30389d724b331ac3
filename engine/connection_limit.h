// The engine-wide limit on simultaneous connections ("MaxConnections", default
// 2000). A connection thread takes one slot without waiting for its whole life;
// when none is free it refuses the client in its protocol's own words. The
// dispatcher never counts. Datagram protocols (DNS, DHCP, UDP mappings) bound
// their own workers with a limit of their own, so a flood of datagrams cannot
// start threads without end.
#pragma once

#include <mutex>

namespace qlm::engine {

class CConnectionLimit {
 public:
  static constexpr unsigned kDefaultMaxConnections = 2000;

  CConnectionLimit() = default;
  explicit CConnectionLimit(unsigned max) : max_(max), free_(max) {}

  // The engine-wide "MaxConnections" limit of the stream connections.
  static CConnectionLimit& Instance() {
    static CConnectionLimit limit;
    return limit;
  }

  // Sets both the maximum and the free count (engine start, tests).
  void Reset(unsigned max) {
    std::lock_guard lock(mutex_);
    max_ = max;
    free_ = max;
  }
  // Takes a slot if one is free, without waiting.
  bool TryTake() {
    std::lock_guard lock(mutex_);
    if (free_ == 0) {
      return false;
    }
    --free_;
    return true;
  }
  void Give() {
    std::lock_guard lock(mutex_);
    if (free_ < max_) {
      ++free_;
    }
  }
  unsigned Free() const {
    std::lock_guard lock(mutex_);
    return free_;
  }

 private:
  mutable std::mutex mutex_;
  unsigned max_ = kDefaultMaxConnections;  // Guarded by mutex_
  unsigned free_ = kDefaultMaxConnections; // Guarded by mutex_
};

// A connection thread's hold on the limit: tries once at construction, gives
// the slot back at destruction.
class CConnectionSlot {
 public:
  explicit CConnectionSlot(CConnectionLimit& limit = CConnectionLimit::Instance())
      : limit_(limit), taken_(limit.TryTake()) {}
  ~CConnectionSlot() {
    if (taken_) {
      limit_.Give();
    }
  }
  CConnectionSlot(const CConnectionSlot&) = delete;
  CConnectionSlot& operator=(const CConnectionSlot&) = delete;

  bool Taken() const { return taken_; }

 private:
  CConnectionLimit& limit_;
  bool taken_;
};

}  // namespace qlm::engine
