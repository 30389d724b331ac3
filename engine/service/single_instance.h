// The single-instance rule: an engine holds an exclusive lock on the file
// QuillmarServiceInstance in the run-time folder for its whole life. The
// kernel drops the lock when the process ends, so a crashed engine leaves no
// stale lock; the manager tests the same lock to see whether an engine runs.
#pragma once

#include <string>

namespace qlm::engine {

inline constexpr const char* kInstanceLockName = "QuillmarServiceInstance";
inline constexpr const char* kDefaultRunDir = "/run/quillmar";

// $QUILLMAR_RUNDIR when set and not empty, else /run/quillmar.
std::string RunDir();

class CSingleInstance {
 public:
  enum class Result { kFirst, kAlreadyRunning, kFailed };

  CSingleInstance() = default;
  ~CSingleInstance();  // closes the file, which releases the lock
  CSingleInstance(const CSingleInstance&) = delete;
  CSingleInstance& operator=(const CSingleInstance&) = delete;

  // Creates the folder and the file as needed and tries the lock without
  // waiting. kFailed (with errno) when the file cannot be opened or locked for
  // another reason than a holder.
  Result Acquire(const std::string& run_dir);

 private:
  int fd_ = -1;
};

}  // namespace qlm::engine
