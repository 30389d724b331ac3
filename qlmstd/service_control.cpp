// The service part of CQlmstd mapped onto systemd: the unit file is the
// service's registration, systemctl its control. Without systemd the
// service manager counts as unreachable.
#include "qlmstd/service_control.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <mutex>
#include <vector>

#include "qlmstd/qlmstd.h"

extern char** environ;

namespace qlm::qlmstd {
namespace {

std::mutex g_paths_mutex;
ServiceControlPaths g_paths;  // Guarded by g_paths_mutex

ServiceControlPaths Paths() {
  std::lock_guard<std::mutex> lock(g_paths_mutex);
  return g_paths;
}

bool ManagerReachable(const ServiceControlPaths& p) {
  struct stat st {};
  return stat(p.systemd_marker.c_str(), &st) == 0;
}

std::string UnitPath(const ServiceControlPaths& p) { return p.unit_folder + "/" + kUnitFileName; }

bool UnitExists(const ServiceControlPaths& p) {
  struct stat st {};
  return stat(UnitPath(p).c_str(), &st) == 0;
}

// Runs systemctl with `args`; its exit code (-1 when it cannot run) and output.
int Systemctl(const ServiceControlPaths& p, std::vector<std::string> args, std::string* out) {
  args.insert(args.begin(), p.systemctl);
  std::vector<char*> argv;
  for (std::string& a : args) {
    argv.push_back(a.data());
  }
  argv.push_back(nullptr);
  int pipe_fds[2];
  // Close-on-exec: a program another thread starts meanwhile must not keep
  // the write end open and hold this read past systemctl's end.
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  std::string text;
  char chunk[512];
  ssize_t n = 0;
  while (rc == 0 && (n = read(pipe_fds[0], chunk, sizeof chunk)) > 0) {
    text.append(chunk, static_cast<size_t>(n));
  }
  close(pipe_fds[0]);
  if (rc != 0) {
    return -1;
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
    return -1;
  }
  if (out) {
    *out = text;
  }
  return WEXITSTATUS(status);
}

// "active", "inactive", ... ; empty when the query fails.
std::string ActiveState(const ServiceControlPaths& p) {
  std::string out;
  if (Systemctl(p, {"show", "-p", "ActiveState", "--value", kUnitFileName}, &out) != 0) {
    return {};
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
    out.pop_back();
  }
  return out;
}

}  // namespace

ServiceControlPaths GetServiceControlPaths() { return Paths(); }

void SetServiceControlPaths(const ServiceControlPaths& paths) {
  std::lock_guard<std::mutex> lock(g_paths_mutex);
  g_paths = paths;
}

std::string ServiceUnitText(const std::string& program) {
  return std::string("[Unit]\nDescription=") + kServiceDisplayName +
         "\nAfter=network.target\n\n[Service]\nType=simple\nExecStart=" + program +
         "\nRestart=no\n\n[Install]\nWantedBy=multi-user.target\n";
}

bool CQlmstd::ServiceInstall() {
  ServiceControlPaths p = Paths();
  char dir[256] = {};
  if (!GetAppInstallDir(dir, 224) || !ManagerReachable(p)) {
    return false;
  }
  char program[256];
  std::snprintf(program, sizeof program, "%s/%s", dir, kEngineProgram);
  if (UnitExists(p)) {
    return false;  // already installed: creation fails as it would for a second service
  }
  std::ofstream unit(UnitPath(p), std::ios::trunc);
  unit << ServiceUnitText(program);
  unit.close();
  if (!unit) {
    return false;
  }
  Systemctl(p, {"daemon-reload"}, nullptr);
  return true;
}

bool CQlmstd::ServiceRemove() {
  ServiceControlPaths p = Paths();
  if (!ManagerReachable(p) || !UnitExists(p)) {
    return false;
  }
  // systemctl stop returns once the stop-pending state is over.
  Systemctl(p, {"stop", kUnitFileName}, nullptr);
  bool removed = std::remove(UnitPath(p).c_str()) == 0;
  Systemctl(p, {"daemon-reload"}, nullptr);
  return removed;
}

bool CQlmstd::ServiceStart() {
  ServiceControlPaths p = Paths();
  return ManagerReachable(p) && UnitExists(p) &&
         Systemctl(p, {"start", "--no-block", kUnitFileName}, nullptr) == 0;
}

bool CQlmstd::ServiceStop() {
  ServiceControlPaths p = Paths();
  if (!ManagerReachable(p) || !UnitExists(p) || ActiveState(p) != "active") {
    return false;  // a service that is not running does not accept the stop
  }
  return Systemctl(p, {"stop", "--no-block", kUnitFileName}, nullptr) == 0;
}

int CQlmstd::IsServiceRunning() {
  ServiceControlPaths p = Paths();
  if (!ManagerReachable(p)) {
    return -2;
  }
  if (!UnitExists(p)) {
    return -1;
  }
  std::string state = ActiveState(p);
  if (state.empty()) {
    return -1;
  }
  return state == "active" ? 1 : 0;
}

bool CQlmstd::ServiceAutoRunConfig(uint32_t start_type) {
  ServiceControlPaths p = Paths();
  if (!ManagerReachable(p) || !UnitExists(p)) {
    return false;
  }
  const char* verb = start_type == kServiceAutoStart ? "enable" : "disable";
  return Systemctl(p, {verb, kUnitFileName}, nullptr) == 0;
}

}  // namespace qlm::qlmstd
