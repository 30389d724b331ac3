// The manager's dial-up commands and the auto hang-up countdown.
#include "manager/manager_dial_up.h"

#include <cstdio>

#include "dialup/dial_up_texts.h"
#include "dialup/ras_state_text.h"
#include "manager/settings_texts.h"

namespace qlm::manager {

namespace {

// Heartbeats the auto hang-up dialog stays without an answer.
constexpr int kCountdownStart = 5;

std::string Format(const char* format, const std::string& text) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, text.c_str());
  return buffer;
}

}  // namespace

CManagerDialUp::CManagerDialUp(dialup::IDialUpBackend* backend, ManagerDialUpSeams seams,
                               ManagerDialUpTimes times)
    : backend_(backend), seams_(std::move(seams)), times_(times) {}

bool CManagerDialUp::Available() {
  if (loaded_ < 0) {
    loaded_ = backend_ != nullptr && backend_->Load() ? 1 : 0;
  }
  return loaded_ == 1;
}

std::string CManagerDialUp::StatusText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_text_;
}

bool CManagerDialUp::LineConnected() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return line_connected_;
}

std::string CManagerDialUp::ErrorText(int error) {
  std::optional<std::string> text = backend_->ErrorString(error);
  return text ? text->substr(0, dialup::kMaxErrorText) : std::string(dialup::kUndefinedDialUpError);
}

void CManagerDialUp::PollDialStatus() {
  if (!seams_.settings().use_dial_up || !Available()) {
    return;
  }
  std::string text = dialup::kTextDisconnected;
  std::string line;
  const std::vector<dialup::ConnectionHandle> lines = backend_->EnumConnections();
  if (!lines.empty()) {
    if (std::optional<dialup::ConnectionStatus> status =
            backend_->GetConnectStatus(lines.front())) {
      text = dialup::RasStateText(status->state);
      line = Format(dialup::kDialUpLineFormat, text);
      if (status->error != 0 && status->error != dialup::kRasErrorPending) {
        text = ErrorText(status->error);
        line += ": " + text;
      }
    }
  }
  seams_.set_root_status(line);
  std::lock_guard<std::mutex> lock(mutex_);
  status_text_ = text;
  line_connected_ = text == dialup::kTextConnected;
}

void CManagerDialUp::CountdownStep() {
  const ManagerDialUpSettings settings = seams_.settings();
  if (!settings.use_dial_up || !settings.dial_up_managed) {
    return;
  }
  if (LineConnected() && countdown_ != 0) {
    if (countdown_ != -1) {
      --countdown_;
    }
    return;
  }
  if (seams_.dialog_open()) {
    seams_.close_dialog();
  }
  countdown_ = -1;
}

void CManagerDialUp::ShowAutoHangUp() {
  if (seams_.dialog_open()) {
    return;
  }
  countdown_ = kCountdownStart;
  seams_.open_dialog();
}

void CManagerDialUp::AutoHangUpAnswered(bool ok) {
  if (seams_.dialog_open()) {
    seams_.close_dialog();
  }
  countdown_ = -1;
  if (!ok) {
    seams_.send_keep_connection();
    return;
  }
  if (Available()) {
    for (dialup::ConnectionHandle handle : backend_->EnumConnections()) {
      backend_->HangUp(handle);
      if (handle == own_connection_) {
        own_connection_ = dialup::kNoConnection;
      }
    }
  }
  seams_.set_root_status("");
}

void CManagerDialUp::HangUpAndWait(dialup::ConnectionHandle handle) {
  backend_->HangUp(handle);
  for (int poll = 0; poll < times_.release_polls && backend_->GetConnectStatus(handle); ++poll) {
    seams_.wait(times_.release_poll);
  }
  if (handle == own_connection_) {
    own_connection_ = dialup::kNoConnection;
  }
}

void CManagerDialUp::ManagerDial() {
  const ManagerDialUpSettings settings = seams_.settings();
  if (!Available() || !settings.use_dial_up) {
    return;
  }
  if (settings.profile.empty()) {
    seams_.error(dialup::kCheckDialUpSettings);
    return;
  }
  for (dialup::ConnectionHandle handle : backend_->EnumConnections()) {
    std::optional<dialup::ConnectionStatus> status = backend_->GetConnectStatus(handle);
    if (status && status->state == dialup::kRasConnected) {
      return;
    }
  }
  for (dialup::ConnectionHandle handle : backend_->EnumConnections()) {
    HangUpAndWait(handle);
  }
  dialup::DialParams params;
  params.entry = settings.profile.substr(0, dialup::kMaxEntryName);
  params.phone_number.clear();
  params.callback_number.clear();
  params.user = settings.user;
  params.password = settings.password;
  params.domain = "*";
  if (params.user.empty() || params.password.empty()) {
    seams_.error(dialup::kNoUserIdOrPassword);
    return;
  }
  seams_.set_root_status(Format(kDialingRootFormat, params.entry));
  auto post = seams_.post_dial_state;
  const int result = backend_->Dial(
      params, [post](unsigned, int state, int error) { post(state, error); }, &own_connection_);
  if (result != 0) {
    char text[128];
    std::snprintf(text, sizeof text, dialup::kDialingFailedFormat, result);
    seams_.error(text);
  }
}

void CManagerDialUp::OnDialNotification(int state, int error) {
  const std::string text = error != 0 && error != dialup::kRasErrorPending && Available()
                               ? ErrorText(error)
                               : std::string(dialup::RasStateText(state));
  seams_.set_root_status(Format(dialup::kDialUpLineFormat, text));
}

void CManagerDialUp::ManagerHangUp() {
  if (!Available()) {
    return;
  }
  bool all = true;
  for (dialup::ConnectionHandle handle : backend_->EnumConnections()) {
    std::optional<dialup::ConnectionStatus> status = backend_->GetConnectStatus(handle);
    std::string name = status && !status->device_name.empty() ? status->device_name
                                                               : seams_.settings().profile;
    if (seams_.ask_yes_no(Format(kHangUpQuestionFormat, name), kHangUpTitle)) {
      HangUpAndWait(handle);
    } else {
      all = false;
    }
  }
  if (all) {
    seams_.set_root_status("");
  }
}

}  // namespace qlm::manager
