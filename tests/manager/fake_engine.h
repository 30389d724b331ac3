// A stand-in engine for the manager's link tests: a listener on loopback,
// port 0, that accepts the manager, reads its requests and sends CMsg bytes
// exactly as the test gives them (whole, or cut where the test wants).
// Every wait is bounded. Also: the byte form of messages, and a bounded
// event-loop pump for the window thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "link/msg.h"

namespace qlm::test {

// The bytes one message takes on the wire.
std::string MsgBytes(const link::CMsg& msg);

// Runs the Qt event loop until `pred` holds or `deadline` passes; the last
// result of `pred`.
bool PumpUntil(const std::function<bool()>& pred,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));

// Creates the process's QCoreApplication once (tests that need posted events).
void EnsureCoreApplication();

class CFakeEngine {
 public:
  explicit CFakeEngine(const std::string& ip = "127.0.0.1");
  ~CFakeEngine();
  CFakeEngine(const CFakeEngine&) = delete;
  CFakeEngine& operator=(const CFakeEngine&) = delete;

  uint16_t Port() const { return port_; }
  // Waits (pumping the event loop, which completes the manager's connect)
  // for the manager's connection; false when none came.
  bool Accept(std::chrono::milliseconds deadline = std::chrono::seconds(10));
  // Whether a connection is waiting to be accepted right now.
  bool Pending() const;
  // Reads exactly `count` bytes from the manager (pumping events meanwhile).
  std::string Read(size_t count, std::chrono::milliseconds deadline = std::chrono::seconds(10));
  bool Send(const std::string& bytes);
  // Closes the manager's connection (with a reset when `reset`).
  void Drop(bool reset = false);
  // Whether the manager closed its end (reads the end of stream).
  bool PeerClosed(std::chrono::milliseconds deadline = std::chrono::seconds(10));
  // Stops listening (connects are refused from now on).
  void StopListening();

 private:
  int listen_fd_ = -1;
  int fd_ = -1;
  uint16_t port_ = 0;
};

}  // namespace qlm::test
