// The main loop's events.
#include "engine/service/engine_events.h"

namespace qlm::engine {

CEngineEvents& CEngineEvents::Instance() {
  static CEngineEvents events;
  return events;
}

void CEngineEvents::Signal(EngineEvent event) {
  {
    std::lock_guard lock(mutex_);
    signalled_[static_cast<size_t>(event)] = true;
  }
  changed_.notify_all();
}

std::optional<EngineEvent> CEngineEvents::WaitAny(net::Timeout timeout) {
  std::unique_lock lock(mutex_);
  auto any = [this] {
    for (bool s : signalled_) {
      if (s) {
        return true;
      }
    }
    return false;
  };
  if (timeout < net::Timeout::zero()) {
    changed_.wait(lock, any);
  } else if (!changed_.wait_for(lock, timeout, any)) {
    return std::nullopt;
  }
  for (size_t i = 0; i < kEngineEventCount; ++i) {
    if (signalled_[i]) {
      signalled_[i] = false;
      return static_cast<EngineEvent>(i);
    }
  }
  return std::nullopt;
}

bool CEngineEvents::Pending(EngineEvent event) {
  std::lock_guard lock(mutex_);
  return signalled_[static_cast<size_t>(event)];
}

void CEngineEvents::ResetAll() {
  std::lock_guard lock(mutex_);
  signalled_.fill(false);
}

}  // namespace qlm::engine
