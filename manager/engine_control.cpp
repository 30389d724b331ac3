// Engine control rules.
#include "manager/engine_control.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "manager/engine_process.h"
#include "manager/instance_lock.h"
#include "manager/manager_settings.h"
#include "manager/manager_texts.h"
#include "manager/manager_trace.h"
#include "qlmstd/qlmstd.h"
#include "qlmstd/service_control.h"

namespace qlm::manager {

namespace {

using qlmstd::CQlmstd;

std::string Format(const char* format, const std::string& text) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, text.c_str());
  return buffer;
}

std::string Format(const char* format, int number, const std::string& text) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, number, text.c_str());
  return buffer;
}

bool SystemdRuns() {
  return ::access(qlmstd::GetServiceControlPaths().systemd_marker.c_str(), F_OK) == 0;
}

}  // namespace

EngineControlSeams SystemEngineControlSeams() {
  EngineControlSeams s;
  s.service.is_running = [] { return CQlmstd::IsServiceRunning(); };
  s.service.install = [] { return CQlmstd::ServiceInstall(); };
  s.service.remove = [] { return CQlmstd::ServiceRemove(); };
  s.service.start = [] { return CQlmstd::ServiceStart(); };
  s.service.stop = [] { return CQlmstd::ServiceStop(); };
  s.service.auto_run_config = [](uint32_t type) { return CQlmstd::ServiceAutoRunConfig(type); };
  s.service.install_win32 = [](bool on) { return CQlmstd::InstallWin32Service(on); };
  s.service.last_error_text = [] {
    char buffer[256] = {};
    return std::string(qlmstd::GetLastErrorText(buffer, sizeof buffer));
  };
  s.systemd_running = SystemdRuns;
  s.install_dir = ReadInstallDir;
  s.start_process = StartEngineProcess;
  s.engine_lock_held = [] { return IsInstanceLockHeld(ManagerRunDir(), kEngineInstanceLockName); };
  s.wait = [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); };
  s.auto_run = [] { return CQlmstd::GetRegProfileInt("General", "AutoRun", 0) != 0; };
  return s;
}

bool CEngineControl::InstallService() {
  if (seams_.service.install()) {
    return true;
  }
  const int error = errno;
  seams_.error(Format(kServiceInstallFailedFormat, error, seams_.service.last_error_text()),
               kApplicationTitle);
  return false;
}

bool CEngineControl::EnsureInstalled() {
  if (seams_.service.is_running() != -1) {
    return true;
  }
  if (!InstallService()) {
    return false;
  }
  seams_.wait(times_.after_install);
  return true;
}

bool CEngineControl::StartEngine() {
  if (!UsesSystemd()) {
    const int error = seams_.start_process(seams_.install_dir());
    if (error != 0) {
      TraceError("StartEngine failed");
      seams_.error(Format(kEngineStartFailedFormat, error, std::strerror(error)), kApplicationTitle);
      return false;
    }
    Trace("Engine started in the background");
    return true;
  }
  if (!EnsureInstalled()) {
    return false;
  }
  if (!seams_.service.start()) {
    seams_.error(Format(kServiceStartFailedFormat, seams_.service.last_error_text()),
                 kApplicationTitle);
    return false;
  }
  return true;
}

bool CEngineControl::StopEngine() {
  if (!UsesSystemd()) {
    seams_.send_stop();
    return WaitForBackgroundEngineEnd();
  }
  if (!seams_.service.stop()) {
    seams_.error(Format(kServiceStopFailedFormat, seams_.service.last_error_text()),
                 kApplicationTitle);
    seams_.send_stop();
    return false;
  }
  return true;
}

bool CEngineControl::WaitForBackgroundEngineEnd() {
  // The stop message may never arrive (a failed send), so the wait is bounded.
  const int polls = static_cast<int>(times_.background_stop_bound / times_.lock_poll);
  for (int i = 0; i < polls; ++i) {
    if (!seams_.engine_lock_held()) {
      return true;
    }
    seams_.wait(times_.lock_poll);
  }
  if (!seams_.engine_lock_held()) {
    return true;
  }
  seams_.error(kCannotStopText, kCannotStopTitle);
  return false;
}

void CEngineControl::ApplyAndRestart() {
  if (UsesSystemd()) {
    EnsureInstalled();
  }
  const bool on = seams_.auto_run();
  if (UsesSystemd()) {
    seams_.service.auto_run_config(on ? qlmstd::kServiceAutoStart : qlmstd::kServiceDemandStart);
    ApplyWithSystemd();
  } else {
    seams_.service.install_win32(on);
    ApplyWithoutSystemd();
  }
}

void CEngineControl::ApplyWithoutSystemd() {
  if (!seams_.connected()) {
    StartEngine();
    return;
  }
  if (!seams_.ask_yes_no(kRestartQuestionText, kRestartQuestionTitle)) {
    return;
  }
  seams_.send_stop();
  if (WaitForBackgroundEngineEnd()) {
    StartEngine();
  }
}

void CEngineControl::ApplyWithSystemd() {
  const int state = seams_.service.is_running();
  if (state == 0) {
    StartEngine();
  } else if (state == 1) {
    if (!seams_.ask_yes_no(kRestartQuestionText, kRestartQuestionTitle)) {
      return;
    }
    StopEngine();
    int answer = seams_.service.is_running();
    for (int i = 0; i < times_.service_polls && answer == 1; ++i) {
      seams_.wait(times_.service_poll);
      answer = seams_.service.is_running();
    }
    seams_.wait(times_.service_poll);
    answer = seams_.service.is_running();
    if (answer != 0) {
      seams_.error(kCannotStopText, kCannotStopTitle);
      return;
    }
    StartEngine();
  }
  seams_.wait(times_.before_connect);
  seams_.connect();
}

void CEngineControl::Uninstall() {
  if (seams_.service.remove()) {
    seams_.information(kServiceUninstalledText);
  } else {
    seams_.error(Format(kServiceDeletionFailedFormat, seams_.service.last_error_text()),
                 kApplicationTitle);
  }
}

bool CEngineControl::UninstallEnabled() const {
  return seams_.systemd_running() && seams_.service.is_running() >= 0;
}

}  // namespace qlm::manager
