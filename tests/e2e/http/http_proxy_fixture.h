// The HTTP proxy under test for the end-to-end tests: the engine (qlmsvr with
// an "HTTP" daemon, through EngineUnderTest), and the test's origin server
// (http_origin.py) on a folder of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tests/support/child_process.h"

namespace qlm::test {

class EngineUnderTest;

class CHttpProxyUnderTest {
 public:
  CHttpProxyUnderTest(const std::string& ip, unsigned max_connections = 2000);
  ~CHttpProxyUnderTest();
  bool Start();
  const std::string& Ip() const { return ip_; }
  uint16_t Port() const { return port_; }
  std::string Url() const { return "http://" + ip_ + ":" + std::to_string(port_); }

 private:
  std::string ip_;
  unsigned max_connections_;
  uint16_t port_ = 0;
  std::unique_ptr<EngineUnderTest> engine_;
};

class COriginUnderTest {
 public:
  // Starts http_origin.py on ip and a free port, serving `folder`.
  COriginUnderTest(const std::string& ip, const std::string& folder);
  ~COriginUnderTest();
  bool Started() const { return started_; }
  std::string Url(const std::string& path) const {
    return "http://" + ip_ + ":" + std::to_string(port_) + path;
  }
  uint16_t Port() const { return port_; }

 private:
  std::string ip_;
  uint16_t port_ = 0;
  bool started_ = false;
  std::unique_ptr<CChildProcess> process_;
};

// A new temporary folder, removed with everything in it at destruction.
class CTempFolder {
 public:
  CTempFolder();
  ~CTempFolder();
  const std::string& Path() const { return path_; }
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);

}  // namespace qlm::test
