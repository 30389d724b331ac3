// A descriptor one thread makes readable to end another thread's poll wait:
// how a manager connection is told that a newer one took its place or that
// its stream broke under a sender.
#pragma once

namespace qlm::engine {

class CWakeEvent {
 public:
  CWakeEvent();
  ~CWakeEvent();
  CWakeEvent(const CWakeEvent&) = delete;
  CWakeEvent& operator=(const CWakeEvent&) = delete;

  // For a poll set (POLLIN); readable once signalled. -1 if none could be made.
  int Fd() const { return fd_; }
  // Idempotent; never throws.
  void Signal();

 private:
  int fd_;
};

}  // namespace qlm::engine
