// The engine-wide stop wake-up. Every wait of the engine (socket layer, relay
// pump, dispatcher, manager channel, proxies' own loops) includes its
// descriptor; once the engine stops it becomes readable for good, which ends
// every blocked wait at once. An eventfd rather than a closed socket, because
// closing a descriptor does not wake a poll on it in another thread.
#pragma once

#include <atomic>

namespace qlm::net {

class CShutdownSocket {
 public:
  // The one process-wide instance, created on first use.
  static CShutdownSocket& Instance();

  // The descriptor to put in a poll set (POLLIN); readable once closed.
  int Fd() const { return fd_; }
  // Flags the stop: every current and later wait that includes Fd() ends.
  // Idempotent; never throws.
  void Close();
  bool IsClosed() const;

  // Tests only: clears the flag so the next test starts with a running engine.
  void ResetForTest();

 private:
  CShutdownSocket();
  int fd_ = -1;
  std::atomic<bool> closed_{false};
};

}  // namespace qlm::net
