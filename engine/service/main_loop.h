// The engine's main wait loop: waits for any of the five events and runs what
// each asks for on the calling (main) thread, until StopEvent.
#pragma once

#include <functional>

#include "engine/service/engine_events.h"

namespace qlm::engine {

// What the loop runs; an empty member does nothing.
struct MainLoopActions {
  std::function<void()> dial_up_tick;        // status poll and idle monitor
  std::function<void()> dial;                // dial the configured entry
  std::function<void()> hang_up;             // hang up
  std::function<void()> start_update_check;  // start the update-check thread
};

class CMainLoop {
 public:
  CMainLoop(CEngineEvents& events, MainLoopActions actions);

  // Returns after StopEvent. The update check starts at the first
  // UpdateCheckEvent only; later signals are ignored.
  void Run();

 private:
  CEngineEvents& events_;
  MainLoopActions actions_;
  bool update_check_started_ = false;
};

}  // namespace qlm::engine
