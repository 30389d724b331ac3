// The proxy and origin processes of the HTTP end-to-end tests.
#include "tests/e2e/http/http_proxy_fixture.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::test {

CHttpProxyUnderTest::CHttpProxyUnderTest(const std::string& ip, unsigned max_connections)
    : ip_(ip), max_connections_(max_connections) {}

CHttpProxyUnderTest::~CHttpProxyUnderTest() = default;

bool CHttpProxyUnderTest::Start() {
  engine_ = std::make_unique<EngineUnderTest>(ip_);
  port_ = engine_->AddDaemon("HTTP");
  engine_->SetActivity(false, max_connections_);
  return engine_->Start();
}

COriginUnderTest::COriginUnderTest(const std::string& ip, const std::string& folder) : ip_(ip) {
  port_ = FreeTcpPort(ip);
  process_ = std::make_unique<CChildProcess>(std::vector<std::string>{
      "python3", std::string(QLM_SOURCE_DIR) + "/tests/e2e/http/http_origin.py", ip,
      std::to_string(port_), folder});
  started_ = WaitUntil([this] { return IsListening(ip_, port_); });
}

COriginUnderTest::~COriginUnderTest() {
  process_->Signal(9);
  process_->Wait();
}

CTempFolder::CTempFolder() {
  char pattern[] = "/tmp/qlm-http-e2e-XXXXXX";
  path_ = mkdtemp(pattern);
}

CTempFolder::~CTempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string CTempFolder::Write(const std::string& name, const std::string& bytes) const {
  const std::string file = path_ + "/" + name;
  std::ofstream(file, std::ios::binary) << bytes;
  return file;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace qlm::test
