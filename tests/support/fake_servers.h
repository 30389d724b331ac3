// In-process peers for network tests, all on 127.0.0.0/8 and stopped by
// their destructors within a bounded time: a TCP server that runs a handler
// per connection, a TCP echo and a UDP echo.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qlm::test {

// Accepts with a bounded wait so the caller's loop can see its stop flag;
// -1 once stop is set.
int AcceptSome(int listen_fd, const std::atomic<bool>& stop);
// The port a socket is bound to (host order).
uint16_t LocalPort(int fd);

// A TCP server on `ip` whose connections each run `handler(fd)` on a thread
// of their own; the descriptor is closed after the handler returns.
class CTcpServer {
 public:
  explicit CTcpServer(std::function<void(int fd)> handler, const char* ip = "127.0.0.1");
  ~CTcpServer();
  uint16_t Port() const { return port_; }
  int Accepted() const { return accepted_.load(); }

 private:
  int listen_fd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::function<void(int)> handler_;
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<std::thread> workers_;  // Guarded by mutex_
};

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
// One datagram within the time-out; empty when none came.
std::vector<uint8_t> ReceiveDatagram(int fd, int timeout_ms = 5000);

}  // namespace qlm::test
