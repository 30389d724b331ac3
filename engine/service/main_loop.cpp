// The main wait loop.
#include "engine/service/main_loop.h"

#include <utility>

namespace qlm::engine {

namespace {

void RunIfSet(const std::function<void()>& action) {
  if (action) {
    action();
  }
}

}  // namespace

CMainLoop::CMainLoop(CEngineEvents& events, MainLoopActions actions)
    : events_(events), actions_(std::move(actions)) {}

void CMainLoop::Run() {
  for (;;) {
    // Without a time-out the wait ends only with an event.
    const std::optional<EngineEvent> event = events_.WaitAny(net::kWaitForever);
    if (!event) {
      continue;
    }
    switch (*event) {
      case EngineEvent::kDialUpTick:
        RunIfSet(actions_.dial_up_tick);
        break;
      case EngineEvent::kDial:
        RunIfSet(actions_.dial);
        break;
      case EngineEvent::kHangUp:
        RunIfSet(actions_.hang_up);
        break;
      case EngineEvent::kStop:
        return;
      case EngineEvent::kUpdateCheck:
        if (!update_check_started_) {
          update_check_started_ = true;
          RunIfSet(actions_.start_update_check);
        }
        break;
    }
  }
}

}  // namespace qlm::engine
