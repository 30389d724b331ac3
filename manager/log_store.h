// The log viewer's line store between the two threads: the receiver puts
// what the engine sends (the whole log, then every new line) into the
// incoming list; the window thread takes it out on its heartbeat. Guarded by
// the log-view lock.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace qlm::manager {

class CLogStore {
 public:
  // MSG_LOG_CONTENT: the incoming list becomes `lines`, the reset flag is set.
  void SetLogContent(std::vector<std::string> lines);
  // MSG_LOG_LINE: appended to the incoming list.
  void AppendLogLine(std::string line);

  // Window thread: moves the incoming lines into *lines (replacing its
  // contents), clears the reset flag and returns what it was, in one step
  // under the lock, so a whole log arriving meanwhile is never half taken.
  bool Take(std::vector<std::string>* lines);

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> incoming_;  // Guarded by mutex_
  bool reset_ = false;                 // Guarded by mutex_
};

}  // namespace qlm::manager
