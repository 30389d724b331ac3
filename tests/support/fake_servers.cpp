// The tests' in-process peers.
#include "tests/support/fake_servers.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/loopback.h"

namespace qlm::test {

int AcceptSome(int listen_fd, const std::atomic<bool>& stop) {
  while (!stop.load()) {
    pollfd p{listen_fd, POLLIN, 0};
    if (poll(&p, 1, 50) > 0) {
      return accept(listen_fd, nullptr, nullptr);
    }
  }
  return -1;
}

uint16_t LocalPort(int fd) {
  sockaddr_in a{};
  socklen_t length = sizeof(a);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  return ntohs(a.sin_port);
}

CTcpServer::CTcpServer(std::function<void(int fd)> handler, const char* ip)
    : handler_(std::move(handler)) {
  listen_fd_ = ListenTcp(ip, &port_);
  acceptor_ = std::thread([this] {
    for (;;) {
      const int fd = AcceptSome(listen_fd_, stop_);
      if (fd < 0) {
        return;
      }
      ++accepted_;
      std::lock_guard lock(mutex_);
      workers_.emplace_back([this, fd] {
        handler_(fd);
        close(fd);
      });
    }
  });
}

CTcpServer::~CTcpServer() {
  stop_ = true;
  acceptor_.join();
  std::lock_guard lock(mutex_);
  for (auto& t : workers_) {
    t.join();
  }
  close(listen_fd_);
}

CTcpEcho::CTcpEcho(const char* ip) {
  listener_ = ListenTcp(ip, &port_);
  thread_ = std::thread([this] {
    while (!stop_.load()) {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) {
        continue;
      }
      const int fd = ::accept(listener_, nullptr, nullptr);
      while (!stop_.load() && fd >= 0) {
        pollfd q{fd, POLLIN, 0};
        if (::poll(&q, 1, 50) <= 0) {
          continue;
        }
        char buffer[65536];
        const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
        if (got <= 0 || ::send(fd, buffer, static_cast<size_t>(got), MSG_NOSIGNAL) != got) {
          break;
        }
      }
      ::close(fd);
    }
  });
}

CTcpEcho::~CTcpEcho() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

int UdpSocket(const char* ip, uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = inet_addr(ip);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::vector<uint8_t> ReceiveDatagram(int fd, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) <= 0) {
    return {};
  }
  uint8_t buffer[65536];
  const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
  return got > 0 ? std::vector<uint8_t>(buffer, buffer + got) : std::vector<uint8_t>{};
}

CUdpEcho::CUdpEcho(const char* ip) {
  fd_ = UdpSocket(ip, 0);
  port_ = LocalPort(fd_);
  thread_ = std::thread([this] {
    while (!stop_.load()) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) {
        continue;
      }
      char buffer[65536];
      sockaddr_in from{};
      socklen_t length = sizeof(from);
      const ssize_t got =
          ::recvfrom(fd_, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &length);
      if (got < 0) {
        continue;
      }
      {
        std::lock_guard lock(mutex_);
        last_ = from;
      }
      ++count_;
      ::sendto(fd_, buffer, static_cast<size_t>(got), 0, reinterpret_cast<sockaddr*>(&from),
               length);
    }
  });
}

CUdpEcho::~CUdpEcho() {
  stop_ = true;
  thread_.join();
  ::close(fd_);
}

sockaddr_in CUdpEcho::last_sender() {
  std::lock_guard lock(mutex_);
  return last_;
}

}  // namespace qlm::test
