// The dial-up manager's inner state, shared by its two source files (the
// proxy-facing calls and the main loop's actions). Not for other folders.
#pragma once

#include <mutex>
#include <optional>
#include <string>

#include "dialup/dial_up_manager.h"
#include "dialup/dial_up_texts.h"
#include "dialup/idle_countdown.h"

namespace qlm::dialup {

class DialUpManager::Impl {
 public:
  Impl(const DialUpSettings& settings, DialUpHooks hooks, DialUpBackendPtr backend,
       const DialUpTimeouts& timeouts)
      : settings_(settings),
        hooks_(std::move(hooks)),
        backend_owner_(std::move(backend)),
        backend_(backend_owner_.get()),
        timeouts_(timeouts),
        countdown_(settings) {}
  // The backend goes first: its destructor waits for a notifier call in
  // progress and makes no more, and notifier calls reach into this object.
  ~Impl() { StopBackend(); }
  void StopBackend() { backend_owner_.reset(); }

  // Loads the backend on first use; false (for good) when it is missing.
  bool Loaded();
  // Whether the backend has been loaded, without loading it.
  bool LoadedAlready();

  const DialUpSettings settings_;
  const DialUpHooks hooks_;
  DialUpBackendPtr backend_owner_;
  // The backend in use (null: none). Stays valid while a notifier call runs.
  IDialUpBackend* const backend_;
  const DialUpTimeouts timeouts_;

  mutable std::mutex status_mutex_;
  std::string status_text_;  // Guarded by status_mutex_

  mutable std::mutex idle_mutex_;
  CIdleCountdown countdown_;  // Guarded by idle_mutex_

  std::mutex dialed_mutex_;
  ConnectionHandle dialed_ = kNoConnection;  // Guarded by dialed_mutex_

 private:
  std::mutex load_mutex_;
  std::optional<bool> loaded_;  // Guarded by load_mutex_
};

// Sleeps `wait` unless the engine stops first; false when it stopped.
bool SleepUnlessStopping(net::Timeout wait);

}  // namespace qlm::dialup
