// Named single-instance locks: an exclusive flock on a file of that name in
// the run-time folder. The kernel drops the lock when the holder ends, so a
// crashed program leaves no stale lock. The manager holds QuillmarInstance
// for its life and tests QuillmarServiceInstance to see whether an engine
// runs.
#pragma once

#include <functional>
#include <string>

namespace qlm::manager {

inline constexpr char kManagerInstanceLockName[] = "QuillmarInstance";
inline constexpr char kEngineInstanceLockName[] = "QuillmarServiceInstance";

class CInstanceLock {
 public:
  enum class Result { kFirst, kAlreadyRunning, kFailed };

  CInstanceLock() = default;
  ~CInstanceLock();  // closing the file releases the lock
  CInstanceLock(const CInstanceLock&) = delete;
  CInstanceLock& operator=(const CInstanceLock&) = delete;

  // Creates the folder and the file as needed and tries the lock without
  // waiting. The descriptor is close-on-exec, so an engine the manager starts
  // does not inherit it.
  Result Acquire(const std::string& run_dir, const std::string& name);

 private:
  int fd_ = -1;
};

// Whether some process holds the lock `name` in `run_dir` now (false when the
// file does not exist). Never creates anything.
bool IsInstanceLockHeld(const std::string& run_dir, const std::string& name);

// The manager's single-instance rule: takes QuillmarInstance in `run_dir`.
// When another manager holds it, `error` gets "You have Quillmar Manager
// started already" and the result is false (the program ends).
bool AcquireManagerInstance(CInstanceLock* lock, const std::string& run_dir,
                            const std::function<void(const std::string&)>& error);

}  // namespace qlm::manager
