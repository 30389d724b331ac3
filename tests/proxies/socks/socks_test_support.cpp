// The loopback harness and byte helpers of the SOCKS tests.
#include "socks_test_support.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "engine/connection_limit.h"
#include "engine/log_file.h"
#include "net/shutdown_socket.h"
#include "proxies/socks/client_socket.h"
#include "proxies/socks/client_thread.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::socks::test {

SocksTimeouts ShortTimeouts() {
  SocksTimeouts t;
  t.handshake = std::chrono::milliseconds(2000);
  t.outward_connect = std::chrono::milliseconds(2000);
  t.bind_accept = std::chrono::milliseconds(3000);
  t.relay_idle = std::chrono::milliseconds(5000);
  t.datagram_send = std::chrono::milliseconds(2000);
  return t;
}

CSocksHarness::CSocksHarness() {
  char pattern[] = "/tmp/qlm-socks-XXXXXX";
  dir_ = mkdtemp(pattern);
  log_name_ = dir_ + "/socks.log";
  net::CShutdownSocket::Instance().ResetForTest();
  engine::CConnectionLimit::Instance().Reset(engine::CConnectionLimit::kDefaultMaxConnections);
  engine::OpenLog(log_name_);
  listener_ = qlm::test::ListenTcp("127.0.0.1", &port_);
}

CSocksHarness::~CSocksHarness() {
  qlm::test::WaitUntil([this] { return AllEnded(); });
  for (std::thread& t : threads_) {
    t.join();
  }
  engine::CloseLog();
  ::close(listener_);
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

int CSocksHarness::Connect(const SocksTimeouts& timeouts) {
  const int fd = qlm::test::ConnectTcp("127.0.0.1", port_);
  const int accepted = ::accept(listener_, nullptr, nullptr);
  auto context = std::make_unique<engine::ConnectionContext>();
  auto client = std::make_unique<CClientSocket>(timeouts);
  client->Attach(accepted);
  context->Client = std::move(client);
  ++started_;
  threads_.emplace_back([this, c = std::move(context)]() mutable {
    ClientThreadProc(std::move(c));
    ++ended_;
  });
  return fd;
}

bool CSocksHarness::AllEnded() { return ended_.load() == started_.load(); }

bool CSocksHarness::HasLog(const std::string& kind, const std::string& text) {
  return log_.HasLine(kind, text);
}

bool CSocksHarness::HasLogStartingWith(const std::string& kind, const std::string& prefix) {
  return log_.HasLineStartingWith(kind, prefix);
}

std::vector<std::string> CSocksHarness::ActivityTexts() {
  std::vector<std::string> texts;
  for (const qlm::test::ActivityCall& call : log_.Activities()) {
    texts.push_back(call.text.value_or("<end>"));
  }
  return texts;
}

bool SendBytes(int fd, const Bytes& bytes) {
  return qlm::test::WriteAll(fd, std::string(bytes.begin(), bytes.end()));
}

Bytes ReadBytes(int fd, size_t n) {
  Bytes out;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (out.size() < n && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) {
      continue;
    }
    uint8_t buffer[4096];
    const ssize_t got = ::recv(fd, buffer, std::min(sizeof(buffer), n - out.size()), 0);
    if (got <= 0) {
      break;
    }
    out.insert(out.end(), buffer, buffer + got);
  }
  return out;
}

bool ClosedByPeer(int fd) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) {
      continue;
    }
    uint8_t buffer[4096];
    const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
    if (got <= 0) {
      return true;
    }
  }
  return false;
}

Bytes Ip(const char* dotted) {
  const in_addr_t a = inet_addr(dotted);
  const auto* p = reinterpret_cast<const uint8_t*>(&a);
  return Bytes(p, p + 4);
}

Bytes Port(uint16_t host_order) {
  return Bytes{static_cast<uint8_t>(host_order >> 8), static_cast<uint8_t>(host_order & 0xFF)};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) {
    out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}

}  // namespace qlm::socks::test
