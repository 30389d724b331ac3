// Request handling through HttpClientThreadProc on loopback: forwarding and
// head rewriting, keep-alive with one origin connection, the proxy's own
// replies byte for byte, the connection limit, the dial pages and the
// CONNECT tunnel.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

#include "engine/connection_limit.h"
#include "proxies/http/ftp_gateway_wire.h"
#include "proxies/http/http_wire.h"
#include "tests/proxies/http/http_test_support.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::http {
namespace {

using test::CLogCapture;
using test::COrigin;
using test::CProxyUnderTest;

class HttpClientThreadTest : public ::testing::Test {
 protected:
  void SetUp() override { ConfigureHttpProxy(test::ShortConfig()); }
  void TearDown() override {
    EXPECT_TRUE(proxy_.WaitIdle());
    ConfigureHttpProxy({});
  }
  int Connect() { return qlm::test::ConnectTcp("127.0.0.1", proxy_.Port()); }
  // Sends one request on a new connection and reads everything until close.
  std::string Exchange(const std::string& request) {
    const int fd = Connect();
    EXPECT_TRUE(qlm::test::WriteAll(fd, request));
    std::string reply = qlm::test::ReadAll(fd, 1 << 20, 5000);
    close(fd);
    return reply;
  }

  CLogCapture log_;
  CProxyUnderTest proxy_;
  std::atomic<bool> origin_first_{true};
};

std::string Url(uint16_t port, const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(port) + path;
}

TEST_F(HttpClientThreadTest, ForwardsWithRewrittenHeadsBothWays) {
  std::string seen;
  COrigin origin([&](int fd) {
    std::string rest;
    seen = test::ReadHead(fd, &rest);
    qlm::test::WriteAll(fd, "HTTP/1.0 200 OK\r\nServer: s\r\nPublic: GET\r\n\r\nhello");
  });
  const std::string reply =
      Exchange("GET " + Url(origin.Port(), "/a?b=1") + " HTTP/1.0\r\nAccept: x\r\n\r\n");
  EXPECT_EQ(reply,
            "HTTP/1.0 200 OK\r\nConnection: close\r\nProxy-Connection: close\r\nServer: s\r\n\r\n"
            "hello");
  EXPECT_EQ(seen, "GET /a?b=1 HTTP/1.0\r\nVia: HTTP/1.0 office (Quillmar)\r\nHost: 127.0.0.1:" +
                      std::to_string(origin.Port()) +
                      "\r\nConnection: close\r\nAccept: x\r\n\r\n");
  EXPECT_TRUE(log_.HasLineContaining(" ", "HTTP      127.0.0.1"));
  EXPECT_TRUE(log_.HasLineContaining(" ", "GET " + Url(origin.Port(), "/a?b=1") + " HTTP/1.0"));
}

TEST_F(HttpClientThreadTest, KeepAliveCarriesTwoRequestsOnOneOriginConnection) {
  COrigin origin([](int fd) {
    std::string rest;
    for (int i = 0; i < 2; ++i) {
      if (test::ReadHead(fd, &rest).empty()) return;
      qlm::test::WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789");
    }
  });
  const int fd = Connect();
  std::string rest;
  const std::string request =
      "GET " + Url(origin.Port(), "/x") + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(qlm::test::WriteAll(fd, request));
    EXPECT_EQ(test::ReadHead(fd, &rest),
              "HTTP/1.1 200 OK\r\nProxy-Connection: Keep-Alive\r\nContent-Length: 10\r\n\r\n");
    EXPECT_EQ(test::ReadN(fd, 10, &rest), "0123456789");
  }
  close(fd);
  EXPECT_EQ(origin.Accepted(), 1);
}

TEST_F(HttpClientThreadTest, OriginThatClosedAKeptConnectionCostsOneReconnect) {
  COrigin origin([](int fd) {
    std::string rest;
    if (test::ReadHead(fd, &rest).empty()) return;
    // Claims keep-alive, then closes anyway.
    qlm::test::WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    shutdown(fd, SHUT_WR);
  });
  const int fd = Connect();
  std::string rest;
  const std::string request = "GET " + Url(origin.Port(), "/") + " HTTP/1.1\r\n\r\n";
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(qlm::test::WriteAll(fd, request));
    EXPECT_FALSE(test::ReadHead(fd, &rest).empty()) << i;
    EXPECT_EQ(test::ReadN(fd, 2, &rest), "ok");
    if (i == 0) {
      ASSERT_TRUE(qlm::test::WaitUntil([&] { return origin.Accepted() == 1; }));
    }
  }
  close(fd);
  EXPECT_EQ(origin.Accepted(), 2);
}

TEST_F(HttpClientThreadTest, KeptConnectionClosedUnderTheRequestIsRetriedOnce) {
  // Regression: a server that closed its kept connection just as the next
  // request went out on it left the client with an empty reply.
  std::atomic<bool> second_sent{false};
  COrigin origin([&](int fd) {
    std::string rest;
    if (test::ReadHead(fd, &rest).empty()) return;
    qlm::test::WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    if (origin_first_.exchange(false)) {
      // Wait for the next request, then close without answering it.
      test::ReadHead(fd, &rest);
      second_sent = true;
    }
  });
  const int fd = Connect();
  std::string rest;
  const std::string request = "GET " + Url(origin.Port(), "/") + " HTTP/1.1\r\n\r\n";
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(qlm::test::WriteAll(fd, request));
    EXPECT_EQ(test::ReadHead(fd, &rest), "HTTP/1.1 200 OK\r\nProxy-Connection: Keep-Alive\r\n"
                                         "Content-Length: 2\r\n\r\n") << i;
    EXPECT_EQ(test::ReadN(fd, 2, &rest), "ok");
  }
  close(fd);
  EXPECT_TRUE(second_sent.load());
  EXPECT_EQ(origin.Accepted(), 2);
}

TEST_F(HttpClientThreadTest, RedirectForUriEndingWithAuthority) {
  EXPECT_EQ(Exchange("GET http://example.invalid HTTP/1.0\r\n\r\n"),
            "HTTP/1.0 302 Found different location\r\nProxy-agent: Quillmar Proxy Server\r\n"
            "Proxy-Connection: close\r\nLocation: http://example.invalid/\r\n\r\n");
}

TEST_F(HttpClientThreadTest, RefusalsAreExactReplies) {
  EXPECT_EQ(Exchange("GET /index.html HTTP/1.0\r\n\r\n"),
            Reply400("400 Bad Request: parsing submitted URI error"));
  EXPECT_EQ(Exchange("GET gopher://h/ HTTP/1.0\r\n\r\n"),
            Reply400("400 Bad Request: parsing submitted URI error"));
  EXPECT_EQ(Exchange("get http://h/ HTTP/1.0\r\n\r\n"), Reply501());
  EXPECT_EQ(Exchange("TRACE http://h/ HTTP/1.0\r\n\r\n"), Reply501());
  EXPECT_EQ(Exchange("GET http://h/\r\n\r\n"), Reply501());  // no version
  // An ftp URL goes to the gateway: a server that cannot be reached gets
  // the log-on failure page.
  const std::string no_server = std::to_string(qlm::test::FreeTcpPort());
  EXPECT_EQ(Exchange("GET ftp://127.0.0.1:" + no_server + "/pub/ HTTP/1.0\r\n\r\n"),
            ErrorReply(kStatus400, std::string(kFtpLogonFailedBodyStart) +
                                       std::string(kFtpLogonFailedBodyEnd)));
  EXPECT_EQ(Exchange("CONNECT h HTTP/1.1\r\n\r\n"),
            Reply400("400 Bad Request: parsing https hostname error"));
  EXPECT_TRUE(log_.HasLineContaining("ERR", "HttpClientThreadProc: Service <TRACE> Not Implemented!"));
  EXPECT_TRUE(log_.HasLineContaining("ERR", "HttpClientThreadProc:Logon to remote FTP server <127.0.0.1> failed"));
  EXPECT_TRUE(log_.HasLineContaining("ERR", " HTTP connection closed"));
}

TEST_F(HttpClientThreadTest, OversizedHeadsAndUnsafeBytes) {
  std::string huge = "GET http://h/ HTTP/1.0\r\n";
  while (huge.size() < 70000) huge += "X-Fill: " + std::string(990, 'f') + "\r\n";
  EXPECT_EQ(Exchange(huge + "\r\n"), Reply414());
  // A 40,000-byte line and an unsafe byte end the connection without a reply.
  EXPECT_EQ(Exchange("GET http://h/" + std::string(40000, 'a')), "");
  EXPECT_EQ(Exchange("GET http://h/ HTTP/1.0\r\nX: \x01\r\n\r\n"), "");
  EXPECT_TRUE(log_.HasLineContaining("ERR", "CHttpClientSocket:header line is too large"));
  EXPECT_TRUE(log_.HasLineContaining("ERR", "CHttpClientSocket:header line has unsafe characters"));
}

TEST_F(HttpClientThreadTest, FullConnectionLimitGets503) {
  engine::CConnectionLimit::Instance().Reset(0);
  const std::string reply = Exchange("GET http://h/ HTTP/1.0\r\n\r\n");
  engine::CConnectionLimit::Instance().Reset(engine::CConnectionLimit::kDefaultMaxConnections);
  EXPECT_EQ(reply, Reply503());
  EXPECT_TRUE(log_.HasLineContaining("ERR", "HttpClientThreadProc:Limited by maximum connections."));
}

TEST_F(HttpClientThreadTest, UnreachableServerGets400AfterOneRetry) {
  const uint16_t dead = qlm::test::FreeTcpPort();
  EXPECT_EQ(Exchange("GET " + Url(dead, "/") + " HTTP/1.0\r\n\r\n"),
            Reply400("400 Bad Request: fail to connect to host 127.0.0.1"));
}

TEST_F(HttpClientThreadTest, TunnelRelaysBothWays) {
  COrigin echo([](int fd) {
    char buf[256];
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n > 0) send(fd, buf, static_cast<size_t>(n), 0);
  });
  const int fd = Connect();
  ASSERT_TRUE(qlm::test::WriteAll(
      fd, "CONNECT 127.0.0.1:" + std::to_string(echo.Port()) + " HTTP/1.1\r\n\r\n"));
  std::string rest;
  EXPECT_EQ(test::ReadHead(fd, &rest), std::string(kTunnelEstablished));
  ASSERT_TRUE(qlm::test::WriteAll(fd, "ping"));
  EXPECT_EQ(test::ReadN(fd, 4, &rest), "ping");
  EXPECT_EQ(qlm::test::ReadAll(fd, 100, 5000), "");  // the origin closed: so does the tunnel
  close(fd);
  EXPECT_TRUE(log_.HasLineContaining(" ", "HTTPS     127.0.0.1"));
}

TEST_F(HttpClientThreadTest, TunnelToDeadPortGets400) {
  const uint16_t dead = qlm::test::FreeTcpPort();
  EXPECT_EQ(Exchange("CONNECT 127.0.0.1:" + std::to_string(dead) + " HTTP/1.1\r\n\r\n"),
            Reply400("400 Bad Request: connecting to remote host 127.0.0.1 failed"));
}

TEST_F(HttpClientThreadTest, SilentClientIsClosedWithoutReply) {
  HttpProxyConfig config = test::ShortConfig();
  config.timeouts.client_request = std::chrono::milliseconds(100);
  ConfigureHttpProxy(config);
  const int fd = Connect();
  EXPECT_EQ(qlm::test::ReadAll(fd, 100, 5000), "");
  close(fd);
}

class HttpDialControlTest : public HttpClientThreadTest {
 protected:
  void Configure(bool dial_on_control, bool use_dial_up) {
    HttpProxyConfig config = test::ShortConfig();
    config.DialOnControl = dial_on_control;
    config.UseDialUp = use_dial_up;
    config.dial_up.is_connected = [this] { return connected_.load(); };
    config.dial_up.auto_dial_wanted = [] { return false; };
    config.dial_up.request_dial = [this] { ++dials_; };
    config.dial_up.request_hang_up = [] {};
    config.dial_up.wait_for_connection = [] { return true; };
    config.dial_up.status_text = [this] {
      // Dialling..., then Connected.
      return ++polls_ < 2 ? std::string("Dialing") : std::string("Connected");
    };
    ConfigureHttpProxy(config);
  }
  std::atomic<bool> connected_{false};
  std::atomic<int> dials_{0};
  std::atomic<int> polls_{0};
};

TEST_F(HttpDialControlTest, DialOnPageFollowsTheStatus) {
  Configure(true, true);
  EXPECT_EQ(Exchange("GET http://QUILLMAR/DIAL-ON HTTP/1.0\r\n\r\n"),
            std::string(kDialControlHead) + "Dialing<br>Connected<br></body></html>");
  EXPECT_EQ(dials_.load(), 1);
  EXPECT_TRUE(log_.HasLineContaining(" ", "DIAL-ON   127.0.0.1"));
}

TEST_F(HttpDialControlTest, PagesOffGive501AndUnknownPathsToo) {
  Configure(false, true);
  EXPECT_EQ(Exchange("GET http://quillmar/dial-on HTTP/1.0\r\n\r\n"), Reply501());
  Configure(true, false);
  EXPECT_EQ(Exchange("GET http://quillmar/other HTTP/1.0\r\n\r\n"), Reply501());
  EXPECT_EQ(dials_.load(), 0);
}

TEST_F(HttpDialControlTest, LineDownShowsTheDisconnectedPage) {
  Configure(true, true);
  EXPECT_EQ(Exchange("GET http://h/ HTTP/1.0\r\n\r\n"), ReplyDialUpDisconnected());
}

}  // namespace
}  // namespace qlm::http
