// A test manager: a loopback connection to the engine's manager port that
// writes requests and reads messages through the same archive format.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "link/archive.h"
#include "link/msg.h"
#include "net/file.h"
#include "tests/support/loopback.h"

namespace qlm::engine::test {

// A CFile over a connected descriptor; a read waits at most `timeout_ms`.
class CFdFile : public net::CFile {
 public:
  CFdFile(int fd, int timeout_ms) : fd_(fd), timeout_ms_(timeout_ms) {}
  size_t Read(void* buffer, size_t count) override {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms_) != 1) {
      throw net::CFileException(110, "test read timed out");
    }
    const ssize_t n = read(fd_, buffer, count);
    return n > 0 ? static_cast<size_t>(n) : 0;
  }
  void Write(const void* buffer, size_t count) override {
    if (!qlm::test::WriteAll(fd_, std::string(static_cast<const char*>(buffer), count))) {
      throw net::CFileException(32, "test write failed");
    }
  }
  void Close() override {}

 private:
  int fd_;
  int timeout_ms_;
};

class CTestManager {
 public:
  explicit CTestManager(uint16_t port, int timeout_ms = 10000)
      : fd_(qlm::test::ConnectTcp("127.0.0.1", port)),
        file_(fd_, timeout_ms),
        load_(&file_, link::CArchive::load),
        store_(&file_, link::CArchive::store) {}
  ~CTestManager() { Close(); }
  CTestManager(const CTestManager&) = delete;
  CTestManager& operator=(const CTestManager&) = delete;

  bool Connected() const { return fd_ >= 0; }
  void Close() {
    if (fd_ >= 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  void Send(uint32_t type) {
    link::CMsg(type).Store(store_);
    store_.Flush();
  }
  bool SendRaw(const std::string& bytes) { return qlm::test::WriteAll(fd_, bytes); }

  // The next message; nullopt when the engine closed the connection or
  // nothing came within the read time-out.
  std::optional<link::CMsg> Receive() {
    link::CMsg msg;
    try {
      msg.Load(load_);
    } catch (const std::exception&) {
      return std::nullopt;
    }
    return msg;
  }
  // Whether the engine closed the connection (end of stream within the time-out).
  bool EngineClosed() {
    try {
      uint8_t byte;
      load_ >> byte;
      return false;
    } catch (const link::CArchiveException&) {
      return true;
    } catch (const std::exception&) {
      return false;
    }
  }

 private:
  int fd_;
  CFdFile file_;
  link::CArchive load_;
  link::CArchive store_;
};

}  // namespace qlm::engine::test
