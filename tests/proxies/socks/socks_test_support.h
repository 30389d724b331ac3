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
#include "proxies/socks/socks_wire.h"

namespace qlm::socks::test {

using Bytes = std::vector<uint8_t>;

SocksTimeouts ShortTimeouts();

class CSocksHarness : public engine::IReportSink {
 public:
  CSocksHarness();
  ~CSocksHarness() override;

  // A client connection whose server side runs ClientThreadProc; the caller
  // closes the returned descriptor.
  int Connect(const SocksTimeouts& timeouts = ShortTimeouts());
  // Waits until every started thread procedure has returned.
  bool AllEnded();

  bool HasLog(const std::string& kind, const std::string& text);
  bool HasLogStartingWith(const std::string& kind, const std::string& prefix);
  std::vector<std::string> ActivityTexts();
  std::string LogFileName() const { return log_name_; }

  // engine::IReportSink
  void Log(engine::ThreadTag thread, const std::string& kind, const std::string& text) override;
  void Activity(const std::string& key, const std::string& connection,
                const std::optional<std::string>& text) override;

 private:
  std::string dir_;
  std::string log_name_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::vector<std::thread> threads_;
  std::atomic<int> started_{0};
  std::atomic<int> ended_{0};
  std::mutex mutex_;
  std::vector<std::pair<std::string, std::string>> logs_;  // Guarded by mutex_
  std::vector<std::string> activities_;                     // Guarded by mutex_
};

// Byte helpers over a plain descriptor, each with a bounded wait.
bool SendBytes(int fd, const Bytes& bytes);
// Exactly n bytes, or fewer when the peer closed or 5 s passed.
Bytes ReadBytes(int fd, size_t n);
// True when the peer closes (after any pending bytes are read) within 5 s.
bool ClosedByPeer(int fd);
uint16_t LocalPort(int fd);
Bytes Ip(const char* dotted);
Bytes Port(uint16_t host_order);
Bytes Concat(std::initializer_list<Bytes> parts);

// A TCP echo server on ip, one connection at a time, until destroyed.
class CTcpEcho {
 public:
  explicit CTcpEcho(const char* ip = "127.0.0.1");
  ~CTcpEcho();
  uint16_t port() const { return port_; }

 private:
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A UDP echo on ip that counts datagrams and remembers the last sender.
class CUdpEcho {
 public:
  explicit CUdpEcho(const char* ip = "127.0.0.1");
  ~CUdpEcho();
  uint16_t port() const { return port_; }
  int count() const { return count_.load(); }
  sockaddr_in last_sender();

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> count_{0};
  std::mutex mutex_;
  sockaddr_in last_{};  // Guarded by mutex_
  std::thread thread_;
};

// A UDP socket bound on ip:port (port 0 for any); -1 on failure.
int UdpSocket(const char* ip, uint16_t port);
// One datagram within 5 s; empty when none came.
Bytes ReceiveDatagram(int fd, int timeout_ms = 5000);

}  // namespace qlm::socks::test
