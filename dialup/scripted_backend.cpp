// The scripted dial-up service of the tests.
#include "dialup/scripted_backend.h"

namespace qlm::dialup {

bool CScriptedBackend::Load() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++load_calls_;
  return loadable_;
}

std::vector<std::string> CScriptedBackend::EnumEntries() {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}

std::vector<ConnectionHandle> CScriptedBackend::EnumConnections() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ConnectionHandle> handles;
  for (const auto& [handle, line] : lines_) {
    handles.push_back(handle);
  }
  return handles;
}

std::optional<ConnectionStatus> CScriptedBackend::GetConnectStatus(ConnectionHandle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++queries_[handle];
  auto found = lines_.find(handle);
  if (found == lines_.end() || found->second.query_fails) {
    return std::nullopt;
  }
  return found->second.status;
}

int CScriptedBackend::HangUp(ConnectionHandle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  hang_ups_.push_back(handle);
  auto found = lines_.find(handle);
  if (found == lines_.end()) {
    return 0;
  }
  if (release_on_hang_up_) {
    lines_.erase(found);
  } else {
    found->second.status.state = kRasDisconnected;
  }
  return 0;
}

int CScriptedBackend::Dial(const DialParams& params, DialNotifier notifier,
                           ConnectionHandle* handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  dials_.push_back(params);
  notifier_ = std::move(notifier);
  if (dial_result_ != 0) {
    *handle = kNoConnection;
    return dial_result_;
  }
  *handle = next_handle_++;
  lines_[*handle].status.state = kRasOpenPort;
  return 0;
}

std::optional<std::string> CScriptedBackend::ErrorString(int error) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = error_texts_.find(error);
  if (found == error_texts_.end()) {
    return std::nullopt;
  }
  return found->second;
}

void CScriptedBackend::SetLoadable(bool loadable) {
  std::lock_guard<std::mutex> lock(mutex_);
  loadable_ = loadable;
}

void CScriptedBackend::SetEntries(std::vector<std::string> entries) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_ = std::move(entries);
}

ConnectionHandle CScriptedBackend::AddConnection(int state, int error) {
  std::lock_guard<std::mutex> lock(mutex_);
  ConnectionHandle handle = next_handle_++;
  lines_[handle].status = ConnectionStatus{state, error, "modem", "scripted"};
  return handle;
}

void CScriptedBackend::SetState(ConnectionHandle handle, int state, int error) {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_[handle].status.state = state;
  lines_[handle].status.error = error;
}

void CScriptedBackend::RemoveConnection(ConnectionHandle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.erase(handle);
}

void CScriptedBackend::FailQuery(ConnectionHandle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_[handle].query_fails = true;
}

void CScriptedBackend::SetDialResult(int result) {
  std::lock_guard<std::mutex> lock(mutex_);
  dial_result_ = result;
}

void CScriptedBackend::SetReleaseOnHangUp(bool release) {
  std::lock_guard<std::mutex> lock(mutex_);
  release_on_hang_up_ = release;
}

void CScriptedBackend::SetErrorString(int error, std::string text) {
  std::lock_guard<std::mutex> lock(mutex_);
  error_texts_[error] = std::move(text);
}

void CScriptedBackend::Notify(int state, int error) {
  DialNotifier notifier;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    notifier = notifier_;
  }
  if (notifier) {
    notifier(0, state, error);
  }
}

int CScriptedBackend::LoadCalls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return load_calls_;
}

std::vector<DialParams> CScriptedBackend::Dials() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dials_;
}

std::vector<ConnectionHandle> CScriptedBackend::HangUps() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return hang_ups_;
}

int CScriptedBackend::StatusQueries(ConnectionHandle handle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = queries_.find(handle);
  return found == queries_.end() ? 0 : found->second;
}

}  // namespace qlm::dialup
