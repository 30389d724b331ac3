// The dial-up manager's calls for the proxies and the manager channel, its
// configuration, and the engine's default reports.
#include "dialup/dial_up_manager.h"

#include <thread>

#include "dialup/dial_up_manager_impl.h"
#include "engine/engine_error_report.h"
#include "net/shutdown_socket.h"
#include "net/wait_set.h"

namespace qlm::dialup {
bool DialUpManager::Impl::Loaded() {
  std::lock_guard<std::mutex> lock(load_mutex_);
  if (!loaded_) {
    loaded_ = backend_ != nullptr && backend_->Load();
  }
  return *loaded_;
}

bool DialUpManager::Impl::LoadedAlready() {
  std::lock_guard<std::mutex> lock(load_mutex_);
  return loaded_.value_or(false);
}

bool SleepUnlessStopping(net::Timeout wait) {
  net::CWaitSet waits;
  waits.AddShutdown();
  switch (waits.Wait(wait)) {
    case net::CWaitSet::Result::kShutdown:
      return false;
    case net::CWaitSet::Result::kError:
      // The wait itself failed: sleep plainly so that the caller's rounds
      // still take their time.
      std::this_thread::sleep_for(wait);
      return true;
    default:
      return true;
  }
}

DialUpManager& DialUpManager::Instance() {
  // Never destroyed: detached proxy threads and the backend's notifier may
  // still call in while the process exits, and the line is not hung up at stop.
  static DialUpManager& manager = *std::make_unique<DialUpManager>().release();
  return manager;
}

DialUpManager::DialUpManager() = default;
DialUpManager::~DialUpManager() = default;

void DialUpManager::Configure(const DialUpSettings& settings, DialUpHooks hooks,
                              DialUpBackendPtr backend, const DialUpTimeouts& timeouts) {
  ResetForTest();
  impl_ = std::make_unique<Impl>(settings, std::move(hooks), std::move(backend), timeouts);
}

void DialUpManager::ResetForTest() {
  if (impl_) {
    // No notifier call may be running or start while the state goes away.
    impl_->StopBackend();
  }
  impl_.reset();
  connected_ = false;
}

bool DialUpManager::AutoDialWanted(bool for_dns_lookup) const {
  if (!impl_) {
    return false;
  }
  const DialUpSettings& s = impl_->settings_;
  bool wanted = s.UseDialUp && s.DialUpManaged && s.AutoConnect && !connected_.load();
  // Without a backend there is nothing to dial: asking would only wait.
  return wanted && !(for_dns_lookup && s.NoDNSAutoConnect) && impl_->Loaded();
}

bool DialUpManager::Available() { return impl_ && impl_->Loaded(); }

void DialUpManager::RequestDial() {
  if (impl_ && impl_->hooks_.signal_dial) {
    impl_->hooks_.signal_dial();
  }
}

void DialUpManager::RequestHangUp() {
  if (impl_ && impl_->hooks_.signal_hang_up) {
    impl_->hooks_.signal_hang_up();
  }
}

bool DialUpManager::WaitForConnection() {
  if (!impl_) {
    return false;
  }
  for (int round = 0; round < impl_->timeouts_.connection_rounds; ++round) {
    if (!SleepUnlessStopping(impl_->timeouts_.connection_round)) {
      break;
    }
    if (connected_.load()) {
      return true;
    }
  }
  return connected_.load();
}

std::string DialUpManager::StatusText() const {
  if (!impl_) {
    return {};
  }
  std::lock_guard<std::mutex> lock(impl_->status_mutex_);
  return impl_->status_text_;
}

void DialUpManager::SetStatus(const std::string& text) {
  std::lock_guard<std::mutex> lock(impl_->status_mutex_);
  impl_->status_text_ = text;
  connected_ = text == kTextConnected;
}

void DialUpManager::KeepConnection() {
  if (!impl_) {
    return;
  }
  std::lock_guard<std::mutex> lock(impl_->idle_mutex_);
  impl_->countdown_.KeepConnection();
}

void DialUpManager::Complain(const std::string& text, bool is_error) {
  if (impl_->hooks_.report_engine_error) {
    impl_->hooks_.report_engine_error(text, is_error);
  } else {
    engine::ReportEngineError(text, is_error);
  }
  if (impl_->hooks_.show_message) {
    impl_->hooks_.show_message(text, kServiceErrorTitle);
  } else {
    engine::ShowEngineMessage(text, kServiceErrorTitle);
  }
}

unsigned DialUpManager::IdleCountdownForTest() const {
  if (!impl_) {
    return 0;
  }
  std::lock_guard<std::mutex> lock(impl_->idle_mutex_);
  return impl_->countdown_.Value();
}

bool DialUpManager::LoadedForTest() { return impl_ && impl_->Loaded(); }

}  // namespace qlm::dialup
