// Named single-instance locks.
#include "manager/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "manager/manager_texts.h"

namespace qlm::manager {

namespace {

// mkdir -p, leaving existing folders as they are.
void MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
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

CInstanceLock::~CInstanceLock() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

CInstanceLock::Result CInstanceLock::Acquire(const std::string& run_dir, const std::string& name) {
  MakeFolders(run_dir);
  const std::string path = run_dir + "/" + name;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    return Result::kFailed;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? Result::kAlreadyRunning : Result::kFailed;
  }
  if (fd_ >= 0) {
    ::close(fd_);
  }
  fd_ = fd;
  return Result::kFirst;
}

bool IsInstanceLockHeld(const std::string& run_dir, const std::string& name) {
  const std::string path = run_dir + "/" + name;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  // A shared lock is refused exactly while the holder keeps its exclusive one.
  const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);  // drops the shared lock if it was granted
  return held;
}

bool AcquireManagerInstance(CInstanceLock* lock, const std::string& run_dir,
                            const std::function<void(const std::string&)>& error) {
  // A lock that cannot be made at all (no run-time folder) does not stop the
  // program: only another manager does.
  if (lock->Acquire(run_dir, kManagerInstanceLockName) == CInstanceLock::Result::kAlreadyRunning) {
    error(kAlreadyStartedText);
    return false;
  }
  return true;
}

}  // namespace qlm::manager
