// At most one line a second for a failure that can repeat as fast as the
// network sends (datagrams dropped beyond a worker bound): the log shows it
// happens without being flooded by it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace qlm::engine {

class CLogThrottle {
 public:
  // True when the last line allowed is at least `gap` old (or none was).
  bool Allow(std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now(),
             std::chrono::milliseconds gap = std::chrono::seconds(1)) {
    const int64_t at = std::chrono::duration_cast<std::chrono::milliseconds>(
                           now.time_since_epoch()).count();
    int64_t last = last_.load();
    while (last == kNever || at - last >= gap.count()) {
      if (last_.compare_exchange_weak(last, at)) {
        return true;
      }
    }
    return false;
  }

 private:
  static constexpr int64_t kNever = INT64_MIN;
  std::atomic<int64_t> last_{kNever};
};

}  // namespace qlm::engine
