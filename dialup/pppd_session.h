// One pppd process bringing up one line: started with its log on a pipe, read
// by a thread of its own that turns the log into connection states for the
// dial notifier, and reaped when it ends. The connection's handle lives as
// long as the process does.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dialup/dial_up_backend.h"
#include "net/timeout.h"

namespace qlm::dialup {

// Lets the backend stop all notifier calls at once: a call runs under the
// mutex and only while `open`.
struct NotifyGate {
  std::mutex mutex;
  bool open = true;  // Guarded by mutex
};

class CPppdSession : public std::enable_shared_from_this<CPppdSession> {
 public:
  struct Start {
    std::string program;                  // resolved path of pppd
    std::vector<std::string> arguments;   // after the program name
    // The per-dial options (user name, password), handed over through the
    // options pipe on kPppdOptionsFd; wiped once the pipe holds them.
    std::string options_text;
    std::string interfaces_folder;        // /sys/class/net
    DialNotifier notifier;
    std::shared_ptr<NotifyGate> gate;
    // After a hang-up, how long pppd may take before it is killed outright.
    net::Timeout kill_grace{10000};
  };

  // Starts the process and its reader thread. nullptr when the process cannot
  // be started.
  static std::shared_ptr<CPppdSession> Launch(Start start);
  ~CPppdSession();

  // The line's state (Disconnected once a hang-up was asked for, or when its
  // interface is down), or nullopt once the process has been reaped.
  std::optional<ConnectionStatus> Status() const;
  bool Ended() const;
  // Asks pppd to end (SIGTERM); it is killed if it outstays the grace time.
  void HangUp();
  pid_t Pid() const { return pid_; }
  // The ppp interface pppd named, empty before it did.
  std::string InterfaceName() const;
  // Called by the backend as it goes: a thread whose process ended is joined,
  // any other is left to end by itself.
  void Release();

 private:
  explicit CPppdSession(Start start);
  void ReaderThreadProc();
  void TakeOutput(const char* data, size_t size);
  void Apply(int state, int error);
  void Finish(int exit_status);
  void Notify(int state, int error);

  Start start_;
  pid_t pid_ = -1;
  int output_fd_ = -1;
  std::thread reader_;
  std::string pending_;  // a log line not yet ended; reader thread only

  mutable std::mutex mutex_;
  int state_ = kRasOpenPort;  // Guarded by mutex_
  int error_ = 0;             // Guarded by mutex_
  std::string interface_;     // Guarded by mutex_
  bool ended_ = false;        // Guarded by mutex_
  bool hang_up_asked_ = false;                           // Guarded by mutex_
  std::chrono::steady_clock::time_point hang_up_time_;  // Guarded by mutex_
  bool notified_error_ = false;  // reader thread only
  bool connected_once_ = false;  // reader thread only
};

}  // namespace qlm::dialup
