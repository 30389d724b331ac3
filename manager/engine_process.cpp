// The engine's background start.
#include "manager/engine_process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <vector>

extern char** environ;

namespace qlm::manager {

int StartEngineProcess(const std::string& install_dir) {
  if (install_dir.empty()) {
    return ENOENT;
  }
  const std::string program = install_dir + "/" + kEngineProgramName;
  if (::access(program.c_str(), X_OK) != 0) {
    return errno;
  }
  std::string name = kEngineProgramName;
  std::string option = kEngineBackgroundOption;
  std::vector<char*> argv{name.data(), option.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The engine must not inherit the manager's sockets or its instance lock.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    return rc;
  }
  // The starter leaves as soon as the engine has detached; reaping it off the
  // window thread keeps the window responsive and leaves no zombie.
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return 0;
}

}  // namespace qlm::manager
