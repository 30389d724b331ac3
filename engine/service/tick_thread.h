// The engine's periodic signal: DialUpTickEvent every 4000 ms, for the
// dial-up status poll and idle monitor. Runs from before the service body
// until the process ends (or Stop, for tests).
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/service/engine_events.h"
#include "net/timeout.h"

namespace qlm::engine {

inline constexpr net::Timeout kDialUpTickInterval{4000};

class CTickThread {
 public:
  CTickThread(CEngineEvents& events, net::Timeout interval = kDialUpTickInterval);
  ~CTickThread();  // Stop
  CTickThread(const CTickThread&) = delete;
  CTickThread& operator=(const CTickThread&) = delete;

  void Start();
  // Ends the thread and joins it; idempotent.
  void Stop();

 private:
  void Run();

  CEngineEvents& events_;
  net::Timeout interval_;
  std::mutex mutex_;
  std::condition_variable stop_changed_;
  bool stop_ = false;  // Guarded by mutex_
  std::thread thread_;
};

}  // namespace qlm::engine
