// Drives any protocol's engine entry the way the dispatcher does, without an
// engine: a listener on 127.0.0.1, each accepted connection taken into the
// entry's client object and served by its thread procedure on a thread of
// its own, with a listener record of the daemon's name for the activity
// rows. The destructor waits (bounded) for every thread to end.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/listener_record.h"
#include "engine/protocol_entry.h"

namespace qlm::test {

class CProtocolHarness {
 public:
  explicit CProtocolHarness(const engine::StreamProtocol& entry);
  ~CProtocolHarness();
  CProtocolHarness(const CProtocolHarness&) = delete;
  CProtocolHarness& operator=(const CProtocolHarness&) = delete;

  // A client connection; its server side runs the entry's thread procedure.
  // The caller closes the descriptor; -1 when the connection failed.
  int Connect();
  // The same with a client object of the caller's making (a protocol's
  // socket with shorter time-outs, say).
  int Connect(std::unique_ptr<net::CBlockingSocket> client);
  // Whether every thread started so far has ended.
  bool AllEnded() const { return ended_.load() == started_.load(); }

 private:
  const engine::StreamProtocol& entry_;
  engine::DaemonRecord daemon_;  // as the dispatcher hands stream daemons
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<int> started_{0};
  std::atomic<int> ended_{0};
  std::mutex mutex_;
  std::vector<std::thread> threads_;  // Guarded by mutex_
};

}  // namespace qlm::test
