// The stop signals.
#include "engine/service/stop_signals.h"

#include <signal.h>

#include <cstdio>
#include <system_error>
#include <thread>

#include "engine/service/service_texts.h"

namespace qlm::engine {

namespace {

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

void BlockStopSignals() {
  const sigset_t set = StopSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  // A peer that leaves mid-send must fail the send, not end the engine.
  signal(SIGPIPE, SIG_IGN);
}

bool StartStopSignalThread(CEngineEvents& events, bool print_stopping) {
  try {
    std::thread([&events, print_stopping] {
      const sigset_t set = StopSet();
      for (;;) {
        int sig = 0;
        if (sigwait(&set, &sig) != 0) {
          continue;
        }
        if (print_stopping) {
          std::printf(kStoppingFormat, kServiceDisplayName);
          std::fflush(stdout);
        }
        events.Signal(EngineEvent::kStop);
      }
    }).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace qlm::engine
