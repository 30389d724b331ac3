// The SOCKS server process of the end-to-end tests.
#include "tests/e2e/socks/socks_server_fixture.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::test {

CSocksServerUnderTest::CSocksServerUnderTest(const std::string& ip) : ip_(ip) {
  char pattern[] = "/tmp/qlm-socks-e2e-XXXXXX";
  folder_ = mkdtemp(pattern);
  log_path_ = folder_ + "/socks.log";
}

CSocksServerUnderTest::~CSocksServerUnderTest() {
  engine_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

bool CSocksServerUnderTest::Start() {
  engine_ = std::make_unique<EngineUnderTest>(ip_);
  port_ = engine_->AddDaemon("SOCKS");
  log_path_ = engine_->LogPath();
  return engine_->Start();
}

std::vector<std::string> CSocksServerUnderTest::LogLines() const {
  if (engine_) {
    return engine_->LogLines();
  }
  std::vector<std::string> lines;
  std::ifstream in(log_path_);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

bool CSocksServerUnderTest::WaitForLog(const std::string& text,
                                       std::chrono::milliseconds deadline) const {
  return WaitUntil(
      [&] {
        for (const std::string& line : LogLines()) {
          if (line.find(text) != std::string::npos) {
            return true;
          }
        }
        return false;
      },
      deadline);
}

}  // namespace qlm::test
