// Output gathered until the relay has to wait for input: a status line, its
// head and the body bytes that came with them leave in one send instead of
// three small ones, which a peer's delayed acknowledgement would otherwise
// hold back for tens of milliseconds each.
#pragma once

#include <string>
#include <string_view>

#include "net/blocking_socket.h"

namespace qlm::http {

class CPendingOutput {
 public:
  // Sends to `to`, each send with `timeout`.
  CPendingOutput(net::CBlockingSocket& to, net::Timeout timeout) : to_(to), timeout_(timeout) {}

  // Queues bytes; sends at once when 64 KiB have gathered.
  void Add(std::string_view bytes);
  // Sends what is queued.
  void Flush();
  // Sends what is queued unless `from` has input waiting already: the next
  // read will not wait, so more can join the same send.
  void FlushBeforeWaitingOn(net::CBlockingSocket& from);
  net::CBlockingSocket& Socket() { return to_; }
  net::Timeout SendTimeout() const { return timeout_; }

 private:
  static constexpr size_t kFlushAt = 65536;
  net::CBlockingSocket& to_;
  net::Timeout timeout_;
  std::string pending_;
};

}  // namespace qlm::http
