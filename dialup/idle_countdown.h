// The idle countdown of a managed dial-up line, counted in 4-second ticks.
// While the line is up and nothing was sent since the previous tick, it runs
// down towards the idle hang-up (warning the manager when 5 ticks, 20
// seconds, remain) or towards the next keep-alive probe; any outgoing traffic,
// a line that is down, or the manager's veto loads it again. Not locked
// itself: its owner holds the idle lock around every call.
#pragma once

#include <atomic>
#include <cstdint>

#include "dialup/dial_up_settings.h"

namespace qlm::dialup {

class CIdleCountdown {
 public:
  // What one tick asks the owner to do, in this order.
  struct Actions {
    bool hang_up = false;       // the idle time has run out
    bool warn_manager = false;  // 20 seconds left: MSG_IDLE_HANGUP_WARNING
    bool probe = false;         // send the keep-alive query
  };

  // Ticks a minute (60000 / 4000) and the count when neither idle option is on.
  static constexpr unsigned kTicksPerMinute = 15;
  static constexpr unsigned kDefaultReload = 60;
  // The count at which the manager is warned.
  static constexpr unsigned kWarnAt = 5;

  explicit CIdleCountdown(const DialUpSettings& settings);

  // The count a reload sets: DisconnectIdleTime (or, with only KeepAliveIdle,
  // KeepAliveIdleTime) minutes in ticks; 60 with neither.
  unsigned Reload() const;
  // One tick. `connected` is the line's flag; `traffic_idle` is exchanged with
  // 1 only while connected (an old 0 means something was sent since).
  Actions Tick(bool connected, std::atomic<uint32_t>& traffic_idle);
  // The manager's veto: the idle option's count again (unchanged with neither).
  void KeepConnection();

  unsigned Value() const { return count_; }

 private:
  bool disconnect_idle_;
  bool keep_alive_idle_;
  unsigned disconnect_reload_;
  unsigned keep_alive_reload_;
  unsigned count_;
};

}  // namespace qlm::dialup
