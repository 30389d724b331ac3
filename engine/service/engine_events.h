// The five auto-reset events of the engine's main loop and a wait for any of
// them. Other threads hand work to the main thread only by signalling these.
// When several are signalled at once, the first in wait-set order wins and
// only that one is reset; the others stay signalled for the next wait.
#pragma once

#include <array>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "net/timeout.h"

namespace qlm::engine {

// In wait-set order.
enum class EngineEvent {
  kDialUpTick = 0,   // DialUpTickEvent
  kDial = 1,         // DialEvent
  kHangUp = 2,       // HangUpEvent
  kStop = 3,         // StopEvent
  kUpdateCheck = 4,  // UpdateCheckEvent
};
inline constexpr size_t kEngineEventCount = 5;

class CEngineEvents {
 public:
  // The engine's one set, created before start-up.
  static CEngineEvents& Instance();

  // Sets the event; a waiter wakes. Any thread; never blocks for long.
  void Signal(EngineEvent event);
  // Waits up to `timeout` (net::kWaitForever: no limit) for any event, resets
  // the first signalled one in wait-set order and returns it; nullopt on
  // time-out.
  std::optional<EngineEvent> WaitAny(net::Timeout timeout = net::kWaitForever);
  // Whether the event is signalled and not yet taken by a wait.
  bool Pending(EngineEvent event);
  // Tests: every event back to non-signalled.
  void ResetAll();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::array<bool, kEngineEventCount> signalled_{};  // Guarded by mutex_
};

}  // namespace qlm::engine
