// systemd as the service functions see it.
#include "qlmstd/service_manager.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace qlm::qlmstd {

bool ServiceManagerReachable(const ServiceControlPaths& paths) {
  struct stat st {};
  return stat(paths.systemd_marker.c_str(), &st) == 0;
}

std::string UnitPath(const ServiceControlPaths& paths) {
  return paths.unit_folder + "/" + kUnitFileName;
}

std::string PackageUnitPath(const ServiceControlPaths& paths) {
  return paths.package_unit_folder + "/" + kUnitFileName;
}

bool UnitExists(const ServiceControlPaths& paths) {
  struct stat st {};
  return stat(UnitPath(paths).c_str(), &st) == 0 ||
         (!paths.package_unit_folder.empty() && stat(PackageUnitPath(paths).c_str(), &st) == 0);
}

int Systemctl(const ServiceControlPaths& paths, std::vector<std::string> args, std::string* out) {
  args.insert(args.begin(), paths.systemctl);
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
  while (rc == 0 && ((n = read(pipe_fds[0], chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR))) {
    if (n > 0) {
      text.append(chunk, static_cast<size_t>(n));
    }
  }
  close(pipe_fds[0]);
  if (rc != 0) {
    return -1;
  }
  int status = 0;
  pid_t waited = -1;
  while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
  }
  if (waited != pid || !WIFEXITED(status)) {
    return -1;
  }
  if (out) {
    *out = text;
  }
  return WEXITSTATUS(status);
}

}  // namespace qlm::qlmstd
