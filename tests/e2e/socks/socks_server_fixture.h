// The SOCKS server under test for the end-to-end tests: the engine (qlmsvr
// with a "SOCKS" daemon, through EngineUnderTest), with its log file readable.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace qlm::test {

class EngineUnderTest;

class CSocksServerUnderTest {
 public:
  explicit CSocksServerUnderTest(const std::string& ip);
  ~CSocksServerUnderTest();
  bool Start();
  const std::string& Ip() const { return ip_; }
  uint16_t Port() const { return port_; }
  std::vector<std::string> LogLines() const;
  // Waits until a log line contains `text`.
  bool WaitForLog(const std::string& text,
                  std::chrono::milliseconds deadline = std::chrono::seconds(10)) const;

 private:
  std::string ip_;
  uint16_t port_ = 0;
  std::string folder_;
  std::string log_path_;
  std::unique_ptr<EngineUnderTest> engine_;
};

}  // namespace qlm::test
