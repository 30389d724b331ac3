// The FTP tests' loopback helpers.
#include "ftp_test_support.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "tests/support/loopback.h"

namespace qlm::ftp::test {
namespace {

constexpr int kWaitMs = 5000;

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, kWaitMs) == 1;
}

sockaddr_in Address(const std::string& ip, uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  inet_pton(AF_INET, ip.c_str(), &sa.sin_addr);
  return sa;
}

}  // namespace

FtpTimeouts ShortTimeouts() {
  FtpTimeouts t;
  const auto two = std::chrono::milliseconds(2000);
  t.server = FtpClientTimeouts{two, two, two, two, std::chrono::seconds(1)};
  t.client = FtpCmdTimeouts{std::chrono::milliseconds(5000), std::chrono::milliseconds(5000), two};
  t.idle = std::chrono::milliseconds(8000);
  t.relay_send = two;
  t.data_connect = two;
  t.data_idle = std::chrono::milliseconds(5000);
  return t;
}

std::string ReadLine(int fd) {
  std::string line;
  for (int i = 0; i < 4096 && Readable(fd); ++i) {
    char c = 0;
    if (::recv(fd, &c, 1, 0) != 1) {
      break;
    }
    line.push_back(c);
    if (c == '\n') {
      break;
    }
  }
  return line;
}

bool ReadUntil(int fd, const std::string& text, std::string* got) {
  std::string all;
  for (int i = 0; i < 10000 && all.find(text) == std::string::npos && Readable(fd); ++i) {
    char buffer[4096];
    const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
    if (n <= 0) {
      break;
    }
    all.append(buffer, static_cast<size_t>(n));
  }
  if (got != nullptr) {
    *got = all;
  }
  return all.find(text) != std::string::npos;
}

std::string ReadBytes(int fd, size_t n) {
  std::string got;
  for (int i = 0; i < 10000 && got.size() < n && Readable(fd); ++i) {
    char buffer[4096];
    const ssize_t r = ::recv(fd, buffer, std::min(sizeof(buffer), n - got.size()), 0);
    if (r <= 0) {
      break;
    }
    got.append(buffer, static_cast<size_t>(r));
  }
  return got;
}

bool SendText(int fd, const std::string& text) { return qlm::test::WriteAll(fd, text); }

bool ClosedByPeer(int fd) {
  for (int i = 0; i < 10000 && Readable(fd); ++i) {
    char buffer[4096];
    const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
    if (n <= 0) {
      return true;
    }
  }
  return false;
}

uint16_t LocalPort(int fd) {
  sockaddr_in sa{};
  socklen_t len = sizeof(sa);
  getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  return ntohs(sa.sin_port);
}

int ConnectFrom(const std::string& ip, uint16_t source_port, const std::string& to_ip,
                uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in from = Address(ip, source_port);
  sockaddr_in to = Address(to_ip, port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof(from)) != 0 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof(to)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int AcceptWithin(int listener) {
  return Readable(listener) ? ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC) : -1;
}

bool PortNumbers(const std::string& line, std::string* ip, uint16_t* port) {
  const size_t start = line.find_first_of("0123456789");
  int v[6] = {};
  if (start == std::string::npos ||
      std::sscanf(line.c_str() + start, "%d,%d,%d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3], &v[4],
                  &v[5]) != 6) {
    return false;
  }
  *ip = std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
        std::to_string(v[3]);
  *port = static_cast<uint16_t>(v[4] * 256 + v[5]);
  return true;
}

CScriptedServer::CScriptedServer(std::function<void(int fd)> script) {
  listener_ = qlm::test::ListenTcp("127.0.0.1", &port_);
  thread_ = std::thread([this, script = std::move(script)] {
    const int fd = AcceptWithin(listener_);
    if (fd >= 0) {
      script(fd);
      ::close(fd);
    }
    done_ = true;
  });
}

CScriptedServer::~CScriptedServer() {
  thread_.join();
  ::close(listener_);
}

}  // namespace qlm::ftp::test
