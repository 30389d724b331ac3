// A manager for tests: connects to the engine's manager port and exchanges
// CMsg values in the link's archive format over a plain socket (not the
// product's socket layer, so a fault there cannot hide itself).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "link/archive.h"
#include "link/msg.h"
#include "net/file.h"

namespace qlm::test {

class CManagerClient {
 public:
  // `read_deadline` bounds every wait for the engine's bytes.
  explicit CManagerClient(std::chrono::milliseconds read_deadline = std::chrono::seconds(5));
  ~CManagerClient();
  CManagerClient(const CManagerClient&) = delete;
  CManagerClient& operator=(const CManagerClient&) = delete;

  bool Connect(const std::string& ip, uint16_t port);
  bool Connected() const { return fd_ >= 0; }
  void Send(const link::CMsg& msg);
  void Send(uint32_t type) { Send(link::CMsg(type)); }
  // The next message; nullopt when none came within the deadline or the
  // engine closed the connection.
  std::optional<link::CMsg> Receive();
  // The next message of `type`, skipping others (log lines, activity).
  std::optional<link::CMsg> ReceiveType(uint32_t type);
  // Whether the engine closes the connection within the read deadline
  // (messages before the close are dropped).
  bool ClosedByEngine();
  void Close();

 private:
  class SocketFile;
  int fd_ = -1;
  std::chrono::milliseconds read_deadline_;
  std::unique_ptr<SocketFile> file_;
  std::unique_ptr<link::CArchive> load_;
  std::unique_ptr<link::CArchive> store_;
};

}  // namespace qlm::test
