// The manager's own dial-up commands: the line's status for the activity
// tree's root label (polled each heartbeat), the auto hang-up countdown that
// answers the engine's idle warning, "&Dial Internet" and "&Hang Up". They go
// through the same dial-up backend as the engine (pppd on this machine, a
// scripted one in tests); message boxes, the label, the dialog and the
// waits are seams, so the rules are tested without a window.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>

#include "dialup/dial_up_backend.h"

namespace qlm::manager {

struct ManagerDialUpSettings {
  bool use_dial_up = false;
  bool dial_up_managed = false;
  std::string profile;
  std::string user;
  std::string password;
};

struct ManagerDialUpSeams {
  std::function<ManagerDialUpSettings()> settings;
  // The activity tree's root status ("" clears it).
  std::function<void(const std::string& line)> set_root_status;
  std::function<void(const std::string& text)> error;
  std::function<bool(const std::string& text, const std::string& title)> ask_yes_no;
  // The auto hang-up dialog.
  std::function<void()> open_dialog;
  std::function<void()> close_dialog;
  std::function<bool()> dialog_open;
  // MSG_KEEP_CONNECTION to the engine.
  std::function<void()> send_keep_connection;
  // Called from the backend's thread: must hand (state, error) to the window
  // thread, which then calls OnDialNotification.
  std::function<void(int state, int error)> post_dial_state;
  std::function<void(std::chrono::milliseconds)> wait;
};

struct ManagerDialUpTimes {
  std::chrono::milliseconds release_poll{500};
  // After a hang-up, how long the platform may take to release a line
  // before the manager stops waiting (the window must never freeze).
  int release_polls = 20;
};

class CManagerDialUp {
 public:
  // `backend` may be null: no dial-up service on this machine.
  CManagerDialUp(dialup::IDialUpBackend* backend, ManagerDialUpSeams seams,
                 ManagerDialUpTimes times = {});

  // Whether the service loaded ("rasapi32" present); asked once.
  bool Available();

  // Heartbeat step 1: the status text, the root label and the connected flag.
  void PollDialStatus();
  // Heartbeat step 2.
  void CountdownStep();
  // The engine's idle warning.
  void ShowAutoHangUp();
  // The dialog's buttons: OK hangs up every line at once, Cancel vetoes.
  void AutoHangUpAnswered(bool ok);
  // "&Dial Internet" and "&Hang Up".
  void ManagerDial();
  void ManagerHangUp();
  // A dial notification, on the window thread.
  void OnDialNotification(int state, int error);

  int Countdown() const { return countdown_; }
  std::string StatusText() const;
  bool LineConnected() const;

 private:
  // Hangs up `handle` and waits (bounded) until the platform released it.
  void HangUpAndWait(dialup::ConnectionHandle handle);
  std::string ErrorText(int error);

  dialup::IDialUpBackend* backend_;
  ManagerDialUpSeams seams_;
  ManagerDialUpTimes times_;
  int loaded_ = -1;  // -1 not asked yet
  dialup::ConnectionHandle own_connection_ = dialup::kNoConnection;
  int countdown_ = -1;
  mutable std::mutex mutex_;
  std::string status_text_;     // Guarded by mutex_
  bool line_connected_ = false;  // Guarded by mutex_
};

}  // namespace qlm::manager
