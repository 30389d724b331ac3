// In-process harness for the HTTP proxy's socket classes: the proxy's
// connection threads on a loopback listener, scripted origin servers, a raw
// client, and a report sink that keeps the log lines.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/activity_log.h"
#include "tests/support/fake_servers.h"
#include "tests/support/log_capture.h"
#include "engine/listener_record.h"
#include "proxies/http/http_proxy_config.h"

namespace qlm::http::test {

// The test's configuration: short time-outs, host name "office".
HttpProxyConfig ShortConfig();

// Listens on 127.0.0.1 and serves each accepted connection with
// HttpClientThreadProc on its own thread; joins them all at destruction.
class CProxyUnderTest {
 public:
  CProxyUnderTest();
  ~CProxyUnderTest();
  uint16_t Port() const { return port_; }
  // Waits until every connection thread has ended.
  bool WaitIdle();

 private:
  void AcceptLoop();
  int listen_fd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> running_{0};
  engine::CListenerRecord daemon_;
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<std::thread> workers_;  // Guarded by mutex_
};

// An origin server on 127.0.0.1 whose connections each run `handler(fd)`.
using COrigin = qlm::test::CTcpServer;

// Reads one head (through the empty line) from fd; what follows it stays in
// *rest. Empty on close or time-out.
std::string ReadHead(int fd, std::string* rest, int timeout_ms = 5000);
// Reads exactly n bytes (fewer on close or time-out).
std::string ReadN(int fd, size_t n, std::string* rest, int timeout_ms = 5000);

// Keeps every log line for the test to look at.
using CLogCapture = qlm::test::CLogCapture;

}  // namespace qlm::http::test
