// The engine's process entry and its four modes.
#include "engine/service/process_entry.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dialup/pppd_leftovers.h"
#include "engine/engine_error_report.h"
#include "engine/log_echo.h"
#include "engine/log_file.h"
#include "engine/service/descriptor_limit.h"
#include "engine/service/command_line.h"
#include "engine/service/service_body.h"
#include "engine/service/service_texts.h"
#include "engine/service/single_instance.h"
#include "engine/service/stop_signals.h"
#include "engine/service/tick_thread.h"
#include "qlmstd/service_unit.h"

namespace qlm::engine {

namespace {

// The platform's already-exists error, recorded as the service exit code.
inline constexpr int kAlreadyExistsError = 183;
inline constexpr const char* kLockFailedFormat = "Can not create the instance lock in %s: %s";

// The unit runs InstallDir/qlmsvr, the installed engine, whichever copy of
// the engine asks; qlmstd refuses the install when no engine is there.
int Install() {
  const qlmstd::ServiceUnitResult result = qlmstd::InstallServiceUnit();
  if (result.ok) {
    std::printf("%s", kInstalledText);
    return 0;
  }
  std::printf(kInstallFailedFormat, result.error.c_str());
  std::printf("\n");
  return 1;
}

int Remove() {
  const qlmstd::ServiceUnitResult result = qlmstd::RemoveServiceUnit();
  if (result.ok) {
    std::printf("%s", kDeletedText);
    return 0;
  }
  std::printf(kDeleteFailedFormat, result.error.c_str());
  std::printf("\n");
  return 1;
}

// -win32: the engine leaves the terminal and goes on in the background; the
// starting process returns at once. The instance lock goes with the child;
// its messages go to the system log only.
bool Detach() {
  const pid_t pid = ::fork();
  if (pid < 0) {
    return false;
  }
  if (pid > 0) {
    std::_Exit(0);
  }
  ::setsid();
  const int null_fd = ::open("/dev/null", O_RDWR);
  if (null_fd >= 0) {
    ::dup2(null_fd, STDIN_FILENO);
    ::dup2(null_fd, STDOUT_FILENO);
    ::dup2(null_fd, STDERR_FILENO);
    ::close(null_fd);
  }
  return true;
}

// Runs the body with the tick and the stop signals; the exit code.
int Serve(bool print_stopping) {
  BlockStopSignals();  // before the first thread, which inherits the mask
  CEngineEvents& events = CEngineEvents::Instance();
  if (!StartStopSignalThread(events, print_stopping)) {
    return 1;
  }
  static CTickThread tick(events);
  tick.Start();
  // The engine object lives until the process ends (Leave skips the static
  // destructors): detached threads keep using it.
  static Engine engine;
  ServiceOptions options;
  options.manager_port = ManagerPortFromEnvironment();
  options.load = LoadEngineConfiguration;
  if (print_stopping) {
    // The console shows where each daemon and mapping listens.
    options.listener_opened = [](const CListenerRecord& record) {
      std::printf(kListenerOpenedFormat, record.name.c_str(),
                  dynamic_cast<const PortMapListener*>(&record) ? kPortMapWord : kDaemonWord,
                  record.type == net::kStream ? "tcp" : "udp", record.address.c_str(),
                  record.port);
      std::fflush(stdout);
    };
  }
  // Dial passwords that older engines left in files go, at start and at stop.
  const std::string temp_folder = dialup::PppdTempFolder();
  dialup::SweepPppdLeftovers(temp_folder);
  const ServiceResult result = RunServiceBody(engine, events, options);
  dialup::SweepPppdLeftovers(temp_folder);
  CloseLog();
  return result == ServiceResult::kStopped ? 0 : 1;
}

// Ends the process without running the static destructors, which other
// threads still use: the engine does not join its threads.
[[noreturn]] void Leave(int code) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(code);
}

}  // namespace

int EngineMain(int argc, char** argv) {
  // Before the first descriptor: 2000 connections need far more than 1024.
  RaiseDescriptorLimit();
  const std::vector<std::string> args(argv + 1, argv + argc);
  const EngineCommand command = ParseCommandLine(args);

  static CSingleInstance instance;
  const std::string run_dir = RunDir();
  switch (instance.Acquire(run_dir)) {
    case CSingleInstance::Result::kFirst:
      break;
    case CSingleInstance::Result::kAlreadyRunning:
      ReportEngineError(kStillRunningText, true, kAlreadyExistsError);
      ShowEngineMessage(kStillRunningText, kStillRunningTitle);
      return 2;
    case CSingleInstance::Result::kFailed: {
      char text[512];
      std::snprintf(text, sizeof text, kLockFailedFormat, run_dir.c_str(), std::strerror(errno));
      ShowEngineMessage(text, kStillRunningTitle);
      return 2;
    }
  }
  switch (command) {
    case EngineCommand::kInstall:
      return Install();
    case EngineCommand::kRemove:
      return Remove();
    case EngineCommand::kDebug:
      SetEngineDebugMode(true);
      std::printf(kDebuggingFormat, kServiceDisplayName);
      std::fflush(stdout);
      SetLogEcho(STDOUT_FILENO);
      Leave(Serve(true));
    case EngineCommand::kWin32:
      SetEngineDebugMode(true);
      if (!Detach()) {
        return 1;
      }
      Leave(Serve(false));
    case EngineCommand::kService:
      Leave(Serve(false));
  }
  return 0;
}

}  // namespace qlm::engine
