// Loopback harness of the SOCKS tests: each connection is accepted into a
// CClientSocket with short time-outs and served by ClientThreadProc on a
// thread of its own; a log file is open (so activity lines are built) and a
// sink keeps every ERR and record line.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/activity_log.h"
#include "proxies/socks/socks_config.h"
#include "tests/support/fake_servers.h"
#include "tests/support/log_capture.h"
#include "proxies/socks/socks_wire.h"

namespace qlm::socks::test {

using Bytes = std::vector<uint8_t>;

SocksTimeouts ShortTimeouts();

class CSocksHarness {
 public:
  CSocksHarness();
  ~CSocksHarness();

  // A client connection whose server side runs ClientThreadProc; the caller
  // closes the returned descriptor.
  int Connect(const SocksTimeouts& timeouts = ShortTimeouts());
  // Waits until every started thread procedure has returned.
  bool AllEnded();

  bool HasLog(const std::string& kind, const std::string& text);
  bool HasLogStartingWith(const std::string& kind, const std::string& prefix);
  std::vector<std::string> ActivityTexts();
  std::string LogFileName() const { return log_name_; }


 private:
  std::string dir_;
  std::string log_name_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::vector<std::thread> threads_;
  std::atomic<int> started_{0};
  std::atomic<int> ended_{0};
  qlm::test::CLogCapture log_;
};

// Byte helpers over a plain descriptor, each with a bounded wait.
bool SendBytes(int fd, const Bytes& bytes);
// Exactly n bytes, or fewer when the peer closed or 5 s passed.
Bytes ReadBytes(int fd, size_t n);
// True when the peer closes (after any pending bytes are read) within 5 s.
bool ClosedByPeer(int fd);
Bytes Ip(const char* dotted);
Bytes Port(uint16_t host_order);
Bytes Concat(std::initializer_list<Bytes> parts);

using qlm::test::CTcpEcho;
using qlm::test::CUdpEcho;
using qlm::test::LocalPort;
using qlm::test::ReceiveDatagram;
using qlm::test::UdpSocket;

}  // namespace qlm::socks::test
