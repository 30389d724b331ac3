// What the engine's main loop runs for the dial-up line (the 4-second status
// poll with the idle monitor, dialling, hanging up) and the backend's dial
// notifier.
#include <chrono>
#include <cstdio>

#include "dialup/dial_up_manager.h"
#include "dialup/dial_up_manager_impl.h"
#include "dialup/keep_alive_probe.h"
#include "dialup/ras_state_text.h"
#include "engine/activity_log.h"
#include "net/traffic_idle_flag.h"

namespace qlm::dialup {
namespace {

// The service's text for `error` (at most kMaxErrorText characters, as its
// 128-byte text buffer holds), or `fallback` when it has none.
std::string ErrorText(IDialUpBackend& backend, int error, const char* fallback) {
  std::optional<std::string> text = backend.ErrorString(error);
  return text && !text->empty() ? text->substr(0, kMaxErrorText) : std::string(fallback);
}

bool IsFailure(int error) { return error != 0 && error != kRasErrorPending; }

}  // namespace

void DialUpManager::PollStatus() {
  if (!impl_ || !impl_->settings_.UseDialUp || !impl_->Loaded()) {
    return;
  }
  IDialUpBackend& backend = *impl_->backend_;
  std::string text = kTextDisconnected;
  std::vector<ConnectionHandle> connections = backend.EnumConnections();
  if (!connections.empty()) {
    if (std::optional<ConnectionStatus> status = backend.GetConnectStatus(connections.front())) {
      text = RasStateText(status->state);
      if (IsFailure(status->error)) {
        text = ErrorText(backend, status->error, kUndefinedDialUpError);
      }
    }
  }
  SetStatus(text);
  RunIdleMonitor();
}

void DialUpManager::RunIdleMonitor() {
  if (!impl_->settings_.UseDialUp || !impl_->settings_.DialUpManaged) {
    return;
  }
  // The idle lock stays held through the warning and the hang-up, so a veto
  // from the manager lands either before the decision or after the reload.
  std::lock_guard<std::mutex> lock(impl_->idle_mutex_);
  CIdleCountdown::Actions actions =
      impl_->countdown_.Tick(connected_.load(), net::TrafficIdleFlag());
  if (actions.hang_up) {
    HangUp();
  }
  if (actions.warn_manager && impl_->hooks_.send_idle_hangup_warning) {
    impl_->hooks_.send_idle_hangup_warning();
  }
  if (actions.probe) {
    std::vector<uint8_t> query = KeepAliveQuery();
    if (impl_->hooks_.send_keep_alive) {
      impl_->hooks_.send_keep_alive(query, impl_->hooks_.keep_alive_to);
    } else {
      SendKeepAlive(query, impl_->hooks_.keep_alive_to);
    }
  }
}

void DialUpManager::Dial() {
  if (!impl_ || !impl_->settings_.UseDialUp || !impl_->Loaded()) {
    return;
  }
  const DialUpSettings& settings = impl_->settings_;
  IDialUpBackend& backend = *impl_->backend_;
  if (settings.DialUpProfile.empty()) {
    Complain(kCheckDialUpSettings, false);
    return;
  }
  // A line that exists or is being set up is left alone; one that is down
  // but not yet released is cleared away first.
  for (ConnectionHandle connection : backend.EnumConnections()) {
    std::optional<ConnectionStatus> status = backend.GetConnectStatus(connection);
    if (!status || status->state != kRasDisconnected) {
      return;
    }
    HangUpAndWait(connection);
  }
  DialParams params;
  params.entry = settings.DialUpProfile.substr(0, kMaxEntryName);
  params.user = settings.DialUpUserId;
  params.password = settings.DialUpPasswd;
  {
    std::lock_guard<std::mutex> lock(impl_->dialed_mutex_);
    impl_->dialed_ = kNoConnection;
  }
  if (settings.DialUpUserId.empty() || settings.DialUpPasswd.empty()) {
    Complain(kNoUserIdOrPassword, true);
    return;
  }
  ConnectionHandle handle = kNoConnection;
  int result = backend.Dial(
      params,
      [this](unsigned message, int state, int error) { OnRasDialEvent(message, state, error); },
      &handle);
  {
    std::lock_guard<std::mutex> lock(impl_->dialed_mutex_);
    impl_->dialed_ = handle;
  }
  if (result != 0) {
    char text[64];
    std::snprintf(text, sizeof(text), kDialingFailedFormat, result);
    Complain(text, true);
  }
}

void DialUpManager::HangUp() {
  if (!impl_ || !impl_->Loaded()) {
    return;
  }
  // Every active connection of the machine goes, not only the one dialled here.
  for (ConnectionHandle connection : impl_->backend_->EnumConnections()) {
    {
      std::lock_guard<std::mutex> lock(impl_->dialed_mutex_);
      if (connection == impl_->dialed_) {
        impl_->dialed_ = kNoConnection;
      }
    }
    HangUpAndWait(connection);
  }
}

void DialUpManager::HangUpAndWait(ConnectionHandle handle) {
  IDialUpBackend& backend = *impl_->backend_;
  backend.HangUp(handle);
  const auto deadline = std::chrono::steady_clock::now() + impl_->timeouts_.release_bound;
  while (backend.GetConnectStatus(handle)) {
    if (std::chrono::steady_clock::now() >= deadline ||
        !SleepUnlessStopping(impl_->timeouts_.release_poll)) {
      return;  // never released, or the engine stops: go on
    }
  }
}

void DialUpManager::OnRasDialEvent(unsigned /*message*/, int state, int error) {
  if (!impl_ || !impl_->LoadedAlready()) {
    return;
  }
  std::string text = RasStateText(state);
  char line[512];
  std::snprintf(line, sizeof(line), kDialUpLineFormat, text.c_str());
  if (IsFailure(error)) {
    text = ErrorText(*impl_->backend_, error, kWrongUserIdOrPassword);
    engine::WriteLog(engine::kNoThread, engine::kKindError, "%s: %s", line, text.c_str());
  }
  SetStatus(text);
}

}  // namespace qlm::dialup
