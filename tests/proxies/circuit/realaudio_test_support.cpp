// The scripted player and server bytes, the socket helpers and the harness.
#include "tests/proxies/circuit/realaudio_test_support.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>

#include "engine/connection_limit.h"
#include "engine/log_file.h"
#include "net/shutdown_socket.h"
#include "proxies/circuit/realaudio_socket.h"
#include "proxies/circuit/realaudio_protocol.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::circuit::test {

std::string Net16(uint16_t value) {
  return std::string{static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

std::string Frame(uint8_t opcode, const std::string& value) {
  return Net16(static_cast<uint16_t>(value.size() + 1)) + static_cast<char>(opcode) + value;
}

std::string Dialog(const std::string& host, uint16_t port, bool tcp_only) {
  return Frame(1, std::string(1, '\x01')) + Frame(2, host) + Frame(3, Net16(port)) +
         Frame(4, Net16(0x1234)) + Frame(5, std::string(1, tcp_only ? '\x01' : '\x00')) +
         Frame(0, "");
}

std::string Status(uint8_t code, const std::string& text) {
  return Net16(static_cast<uint16_t>(text.size() + 2)) + '\x06' + static_cast<char>(code) + text;
}

std::string OpeningHead() {
  return std::string("PNA") + Net16(10) + Net16(3) + Net16(4) + "abcd";
}

std::string PlayerOpening(uint16_t data_port, uint16_t resend_port) {
  std::string opening = OpeningHead() + Net16(1) + Net16(2) + Net16(data_port);
  if (resend_port != 0) {
    opening += Net16(7) + Net16(2) + Net16(resend_port);
  }
  return opening + Net16(0);
}

std::string ServerAnswer(uint16_t resend_port) {
  return std::string("PNA") + "\x01\x02\x03\x04\x05\x06" + "O" + std::string("\x00\x00\x07", 3) +
         Net16(resend_port);
}

int ConnectFrom(const std::string& local_ip, const std::string& ip, uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  inet_pton(AF_INET, local_ip.c_str(), &local.sin_addr);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(port);
  inet_pton(AF_INET, ip.c_str(), &remote.sin_addr);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof(remote)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int AcceptWithin(int listen_fd, int timeout_ms) {
  pollfd p{listen_fd, POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) != 1) {
    return -1;
  }
  return ::accept(listen_fd, nullptr, nullptr);
}

std::string ReadExactly(int fd, size_t n, int timeout_ms) {
  std::string out;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (out.size() < n) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) != 1) {
      break;
    }
    char buffer[4096];
    const ssize_t got = ::recv(fd, buffer, std::min(sizeof(buffer), n - out.size()), 0);
    if (got <= 0) {
      break;
    }
    out.append(buffer, static_cast<size_t>(got));
  }
  return out;
}

bool SendText(int fd, const std::string& text) { return qlm::test::WriteAll(fd, text); }

bool ClosedByPeer(int fd, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) != 1) {
      continue;
    }
    char buffer[256];
    if (::recv(fd, buffer, sizeof(buffer), 0) <= 0) {
      return true;
    }
  }
  return false;
}

bool SendDatagramTo(int fd, const std::string& payload, const std::string& ip, uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  inet_pton(AF_INET, ip.c_str(), &to.sin_addr);
  return ::sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to),
                  sizeof(to)) == static_cast<ssize_t>(payload.size());
}

uint16_t PortIn(const std::string& two_bytes) {
  if (two_bytes.size() < 2) {
    return 0;
  }
  return static_cast<uint16_t>((static_cast<uint8_t>(two_bytes[0]) << 8) |
                               static_cast<uint8_t>(two_bytes[1]));
}

RealAudioTimeouts ShortTimeouts() {
  RealAudioTimeouts t;
  t.handshake = std::chrono::milliseconds(2000);
  t.outward_connect = std::chrono::milliseconds(2000);
  t.relay_idle = std::chrono::milliseconds(5000);
  t.datagram_send = std::chrono::milliseconds(2000);
  return t;
}

CRealAudioHarness::CRealAudioHarness() {
  net::CShutdownSocket::Instance().ResetForTest();
  engine::CConnectionLimit::Instance().Reset(engine::CConnectionLimit::kDefaultMaxConnections);
  engine::OpenLog(dir_.Path() + "/realaudio.log");
  harness_.emplace(RealAudioProtocol());
}

CRealAudioHarness::~CRealAudioHarness() {
  harness_.reset();  // waits for every session to end
  engine::CloseLog();
}

int CRealAudioHarness::Connect(const RealAudioTimeouts& timeouts) {
  return harness_->Connect(std::make_unique<RealAudioSocket>(timeouts));
}

}  // namespace qlm::circuit::test
