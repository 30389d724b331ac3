// The engine's instance lock.
#include "engine/service/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace qlm::engine {

namespace {

// mkdir -p, leaving existing folders as they are.
void MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (!part.empty()) {
      ::mkdir(part.c_str(), 0755);
    }
    if (slash == std::string::npos) {
      break;
    }
  }
}

}  // namespace

std::string RunDir() {
  const char* dir = std::getenv("QUILLMAR_RUNDIR");
  return dir != nullptr && *dir != '\0' ? dir : kDefaultRunDir;
}

CSingleInstance::~CSingleInstance() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

CSingleInstance::Result CSingleInstance::Acquire(const std::string& run_dir) {
  MakeFolders(run_dir);
  const std::string name = run_dir + "/" + kInstanceLockName;
  const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    return Result::kFailed;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return error == EWOULDBLOCK ? Result::kAlreadyRunning : Result::kFailed;
  }
  if (fd_ >= 0) {
    ::close(fd_);
  }
  fd_ = fd;
  return Result::kFirst;
}

}  // namespace qlm::engine
