// Starting, stopping and restarting the engine, both ways the platform
// allows: with systemd (the service functions of the store library) or
// without it (a background `qlmsvr -win32`, stopped with MSG_STOP_ENGINE,
// its end seen through the QuillmarServiceInstance lock). Everything outside
// (service functions, process start, lock, waits, message boxes, the link)
// sits behind the seams below, so the rules are tested without a system.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace qlm::manager {

struct ServiceFunctions {
  std::function<int()> is_running;  // 1 running, 0 installed, -1 not installed, -2 no systemd
  std::function<bool()> install;
  std::function<bool()> remove;
  std::function<bool()> start;
  std::function<bool()> stop;
  std::function<bool(uint32_t start_type)> auto_run_config;
  std::function<bool(bool enable)> install_win32;
  // The last failure as "text (0x%x)".
  std::function<std::string()> last_error_text;
};

struct EngineControlSeams {
  ServiceFunctions service;
  std::function<bool()> systemd_running;
  std::function<std::string()> install_dir;
  // 0 or an errno.
  std::function<int(const std::string& install_dir)> start_process;
  // Whether an engine holds its instance lock now.
  std::function<bool()> engine_lock_held;
  std::function<void(std::chrono::milliseconds)> wait;
  std::function<bool()> auto_run;  // General "AutoRun"
  // The link.
  std::function<bool()> connected;
  std::function<void()> send_stop;
  std::function<void()> connect;
  // Message boxes: error and information icons, and a Yes/No question.
  std::function<void(const std::string& text, const std::string& title)> error;
  std::function<void(const std::string& text)> information;
  std::function<bool(const std::string& text, const std::string& title)> ask_yes_no;
};

// The real seams: qlmstd's service functions, StartEngineProcess, the lock in
// the run-time folder, sleeping waits. The link and message boxes are the
// caller's.
EngineControlSeams SystemEngineControlSeams();

struct EngineControlTimes {
  std::chrono::milliseconds after_install{200};
  std::chrono::milliseconds lock_poll{200};
  // How long a background engine may take to end after the stop message.
  std::chrono::milliseconds background_stop_bound{11000};
  std::chrono::milliseconds service_poll{1000};
  int service_polls = 10;
  std::chrono::milliseconds before_connect{200};
};

class CEngineControl {
 public:
  explicit CEngineControl(EngineControlSeams seams, EngineControlTimes times = {})
      : seams_(std::move(seams)), times_(times) {}

  bool UsesSystemd() const { return seams_.systemd_running(); }
  // "S&tart Engine". true when the start was made.
  bool StartEngine();
  // "St&op Engine". Without systemd it also waits (bounded) for the end.
  bool StopEngine();
  // After the settings are saved: start-at-boot, then stop and start again
  // with the administrator's consent.
  void ApplyAndRestart();
  // "Uninstall": the service removed, with its message.
  void Uninstall();
  // The command without a menu item: install the service.
  bool InstallService();
  // Whether "Uninstall" applies: systemd runs and the service is installed.
  bool UninstallEnabled() const;
  // Waits until no engine holds its lock; false (after the bound) when one still does.
  bool WaitForBackgroundEngineEnd();

 private:
  bool EnsureInstalled();
  void ApplyWithoutSystemd();
  void ApplyWithSystemd();

  EngineControlSeams seams_;
  EngineControlTimes times_;
};

}  // namespace qlm::manager
