// The engine's systemd unit.
#include "engine/service/service_unit.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "engine/service/service_texts.h"

namespace qlm::engine {

namespace {

inline constexpr const char* kNoSystemdText =
    "systemd is not running on this system; start the engine with -win32 instead";

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

std::string ErrnoText(int error) {
  char text[160];
  std::snprintf(text, sizeof text, "%s (0x%x)", std::strerror(error), error);
  return text;
}

// systemctl <args...>; output goes where ours goes. Failures are not fatal to
// the unit file itself, so only the exit status is returned.
int Systemctl(const ServiceUnitPaths& paths, const char* a, const char* b = nullptr) {
  const pid_t pid = ::fork();
  if (pid < 0) {
    return -1;
  }
  if (pid == 0) {
    ::execlp(paths.systemctl.c_str(), paths.systemctl.c_str(), a, b, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string UnitPath(const ServiceUnitPaths& paths) {
  return paths.unit_folder + "/" + kUnitFileName;
}

}  // namespace

std::string ServiceUnitText(const std::string& program) {
  return std::string("[Unit]\nDescription=") + kServiceDisplayName +
         "\nAfter=network.target\n\n[Service]\nType=simple\nExecStart=" + program +
         "\n\n[Install]\nWantedBy=multi-user.target\n";
}

ServiceUnitResult ServiceInstall(const std::string& program, const ServiceUnitPaths& paths) {
  if (!Exists(paths.systemd_marker)) {
    return {false, kNoSystemdText};
  }
  std::ofstream unit(UnitPath(paths), std::ios::trunc);
  unit << ServiceUnitText(program);
  unit.close();
  if (!unit) {
    return {false, ErrnoText(errno)};
  }
  Systemctl(paths, "daemon-reload");
  return {true, {}};
}

ServiceUnitResult ServiceRemove(const ServiceUnitPaths& paths) {
  if (!Exists(paths.systemd_marker)) {
    return {false, kNoSystemdText};
  }
  if (!Exists(UnitPath(paths))) {
    return {false, ErrnoText(ENOENT)};
  }
  Systemctl(paths, "stop", kUnitFileName);
  if (::unlink(UnitPath(paths).c_str()) != 0) {
    return {false, ErrnoText(errno)};
  }
  Systemctl(paths, "daemon-reload");
  return {true, {}};
}

}  // namespace qlm::engine
