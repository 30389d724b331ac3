// The in-process harness of the HTTP proxy tests.
#include "tests/proxies/http/http_test_support.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "engine/connection_context.h"
#include "proxies/http/http_client_socket.h"
#include "proxies/http/http_client_thread.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::http::test {

using qlm::test::AcceptSome;

HttpProxyConfig ShortConfig() {
  HttpProxyConfig config;
  using std::chrono::milliseconds;
  config.timeouts.client_request = milliseconds(3000);
  config.timeouts.client_send = milliseconds(3000);
  config.timeouts.keep_alive_wait = milliseconds(1500);
  config.timeouts.server_connect = milliseconds(3000);
  config.timeouts.request_relay = milliseconds(3000);
  config.timeouts.response_relay = milliseconds(3000);
  config.timeouts.response_round = milliseconds(250);
  config.timeouts.request_body_receive = milliseconds(3000);
  config.timeouts.tunnel_idle = milliseconds(3000);
  config.timeouts.dial_page_poll = milliseconds(10);
  config.timeouts.dial_page_rounds = 5;
  config.host_name = [] { return std::string("office"); };
  return config;
}

namespace {

}  // namespace

CProxyUnderTest::CProxyUnderTest() {
  listen_fd_ = qlm::test::ListenTcp("127.0.0.1", &port_);
  daemon_.name = "HTTP";
  daemon_.address = "127.0.0.1";
  daemon_.port = port_;
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

CProxyUnderTest::~CProxyUnderTest() {
  stop_ = true;
  acceptor_.join();
  std::lock_guard lock(mutex_);
  for (auto& t : workers_) {
    t.join();
  }
  close(listen_fd_);
}

bool CProxyUnderTest::WaitIdle() {
  return qlm::test::WaitUntil([this] { return running_.load() == 0; });
}

void CProxyUnderTest::AcceptLoop() {
  for (;;) {
    const int fd = AcceptSome(listen_fd_, stop_);
    if (fd < 0) {
      return;
    }
    auto client = std::make_unique<CHttpClientSocket>();
    client->Attach(fd);
    auto context = std::make_unique<engine::ConnectionContext>();
    context->Client = std::move(client);
    context->Daemon = &daemon_;
    ++running_;
    std::lock_guard lock(mutex_);
    workers_.emplace_back([this, ctx = std::move(context)]() mutable {
      HttpClientThreadProc(std::move(ctx));
      --running_;
    });
  }
}

namespace {

bool ReadMore(int fd, std::string* into, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) <= 0) {
    return false;
  }
  char buf[65536];
  const ssize_t n = recv(fd, buf, sizeof buf, 0);
  if (n <= 0) {
    return false;
  }
  into->append(buf, static_cast<size_t>(n));
  return true;
}

}  // namespace

std::string ReadHead(int fd, std::string* rest, int timeout_ms) {
  std::string data = *rest;
  for (;;) {
    const size_t end = data.find("\r\n\r\n");
    if (end != std::string::npos) {
      *rest = data.substr(end + 4);
      return data.substr(0, end + 4);
    }
    if (!ReadMore(fd, &data, timeout_ms)) {
      *rest = data;
      return "";
    }
  }
}

std::string ReadN(int fd, size_t n, std::string* rest, int timeout_ms) {
  std::string data = *rest;
  while (data.size() < n && ReadMore(fd, &data, timeout_ms)) {
  }
  const size_t take = std::min(n, data.size());
  *rest = data.substr(take);
  return data.substr(0, take);
}

}  // namespace qlm::http::test
