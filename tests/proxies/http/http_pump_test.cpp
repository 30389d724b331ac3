// Message relay through the proxy: bodies by length, chunks and close, in
// both directions; interim responses; responses without body; heads the
// proxy cannot rewrite; a server that resets mid-body.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <thread>

#include "proxies/http/http_wire.h"
#include "tests/proxies/http/http_test_support.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::http {
namespace {

using test::COrigin;

class CHttpPumpTest : public ::testing::Test {
 protected:
  void SetUp() override { ConfigureHttpProxy(test::ShortConfig()); }
  void TearDown() override {
    EXPECT_TRUE(proxy_.WaitIdle());
    ConfigureHttpProxy({});
  }
  // One request on a new connection; everything the client receives until close.
  std::string Exchange(uint16_t origin_port, const std::string& method,
                       const std::string& extra = "", const std::string& body = "") {
    const int fd = qlm::test::ConnectTcp("127.0.0.1", proxy_.Port());
    EXPECT_TRUE(qlm::test::WriteAll(fd, method + " http://127.0.0.1:" +
                                            std::to_string(origin_port) + "/ HTTP/1.0\r\n" +
                                            extra + "\r\n" + body));
    std::string reply = qlm::test::ReadAll(fd, 1 << 22, 5000);
    close(fd);
    return reply;
  }
  static std::string Body(const std::string& reply) {
    const size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? "" : reply.substr(end + 4);
  }

  test::CLogCapture log_;
  test::CProxyUnderTest proxy_;
};

// An origin that reads the request head and answers with `response`.
COrigin Answering(std::string response, std::string* request_seen = nullptr) {
  return COrigin([response, request_seen](int fd) {
    std::string rest;
    const std::string head = test::ReadHead(fd, &rest, 3000);
    if (request_seen) *request_seen = head + rest;
    qlm::test::WriteAll(fd, response);
  });
}

std::string RandomBytes(size_t n) {
  std::mt19937 gen(1234);
  std::string bytes(n, '\0');
  for (auto& c : bytes) c = static_cast<char>(gen() & 0xFF);
  return bytes;
}

std::string Chunked(const std::string& body, size_t piece) {
  std::string out;
  char size[32];
  for (size_t i = 0; i < body.size(); i += piece) {
    const size_t n = std::min(piece, body.size() - i);
    std::snprintf(size, sizeof size, "%zx;ext=1\r\n", n);
    out += size + body.substr(i, n) + "\r\n";
  }
  return out + "0\r\nX-Trailer: t\r\n\r\n";
}

TEST_F(CHttpPumpTest, CloseDelimitedMegabyteByteForByte) {
  const std::string body = RandomBytes(1 << 20);
  COrigin origin = Answering("HTTP/1.0 200 OK\r\n\r\n" + body);
  const std::string reply = Exchange(origin.Port(), "GET");
  EXPECT_EQ(reply.substr(0, 63),
            "HTTP/1.0 200 OK\r\nConnection: close\r\nProxy-Connection: close\r\n\r\n");
  EXPECT_TRUE(Body(reply) == body);
}

TEST_F(CHttpPumpTest, ChunkedMegabyteWithTrailerByteForByte) {
  const std::string body = RandomBytes(1 << 20);
  const std::string chunks = Chunked(body, 70000);
  COrigin origin = Answering("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunks);
  const std::string reply = Exchange(origin.Port(), "GET");
  EXPECT_EQ(reply.substr(0, reply.find("\r\n")), "HTTP/1.1 200 OK");
  EXPECT_TRUE(Body(reply) == chunks);
}

// Long bodies leave the copy path for the pipe: the bytes must arrive as sent,
// whichever way the body is delimited, and the length rule still holds.
TEST_F(CHttpPumpTest, LengthDelimitedMegabytesByteForByteAndNotAByteMore) {
  const std::string body = RandomBytes((3 << 20) + 17);
  COrigin origin = Answering("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                             "\r\n\r\n" + body + "EXTRA");
  EXPECT_TRUE(Body(Exchange(origin.Port(), "GET")) == body);
}

TEST_F(CHttpPumpTest, LargeRequestBodyReachesTheServerByteForByte) {
  const std::string body = RandomBytes((2 << 20) + 3);
  std::string seen;
  COrigin origin([&](int fd) {
    std::string rest;
    test::ReadHead(fd, &rest, 3000);
    while (rest.size() < body.size()) {
      const std::string more = qlm::test::ReadAll(fd, body.size() - rest.size(), 3000);
      if (more.empty()) break;
      rest += more;
    }
    seen = rest;
    qlm::test::WriteAll(fd, "HTTP/1.0 204 No Content\r\n\r\n");
  });
  const std::string reply =
      Exchange(origin.Port(), "POST", "Content-Length: " + std::to_string(body.size()) + "\r\n", body);
  EXPECT_EQ(reply.substr(0, reply.find("\r\n")), "HTTP/1.0 204 No Content");
  EXPECT_TRUE(seen == body) << seen.size();
}

TEST_F(CHttpPumpTest, ServerSilentInALongBodyEndsWithTheLengthFailure) {
  HttpProxyConfig config = test::ShortConfig();
  config.timeouts.response_relay = std::chrono::milliseconds(300);
  config.timeouts.response_round = std::chrono::milliseconds(100);
  ConfigureHttpProxy(config);
  const std::string part = RandomBytes(300000);
  COrigin origin([&](int fd) {
    std::string rest;
    test::ReadHead(fd, &rest);
    qlm::test::WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 1000000\r\n\r\n" + part);
    test::ReadHead(fd, &rest, 5000);  // silent until the proxy gives up and closes
  });
  EXPECT_TRUE(Body(Exchange(origin.Port(), "GET")) == part);
  EXPECT_TRUE(qlm::test::WaitUntil([&] {
    return log_.HasLineContaining("ERR", "CHttpPump::PumpResponseForLength time out or closed");
  }));
}

TEST_F(CHttpPumpTest, LengthBodyStopsAtTheLength) {
  COrigin origin = Answering("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n0123456789EXTRA");
  EXPECT_EQ(Body(Exchange(origin.Port(), "GET")), "0123456789");
}

TEST_F(CHttpPumpTest, NoBodyForHead204And304) {
  COrigin head_origin = Answering("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n");
  EXPECT_EQ(Exchange(head_origin.Port(), "HEAD"),
            "HTTP/1.1 200 OK\r\nConnection: close\r\nProxy-Connection: close\r\n"
            "Content-Length: 5000\r\n\r\n");
  COrigin no_content = Answering("HTTP/1.1 204 No Content\r\n\r\nignored");
  EXPECT_EQ(Body(Exchange(no_content.Port(), "GET")), "");
  COrigin not_modified = Answering("HTTP/1.1 304\r\n\r\n");
  EXPECT_EQ(Exchange(not_modified.Port(), "GET"),
            "HTTP/1.1 304\r\nConnection: close\r\nProxy-Connection: close\r\n\r\n");
}

TEST_F(CHttpPumpTest, ContinueThenFinalResponse) {
  std::string seen;
  COrigin origin([&](int fd) {
    std::string rest;
    test::ReadHead(fd, &rest);
    qlm::test::WriteAll(fd, "HTTP/1.1 100 Continue\r\n\r\n");
    seen = test::ReadN(fd, 4, &rest);
    qlm::test::WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  });
  const std::string reply = Exchange(origin.Port(), "POST", "Content-Length: 4\r\n", "data");
  EXPECT_EQ(reply,
            "HTTP/1.1 100 Continue\r\nConnection: close\r\nProxy-Connection: close\r\n\r\n"
            "HTTP/1.1 200 OK\r\nConnection: close\r\nProxy-Connection: close\r\n"
            "Content-Length: 2\r\n\r\nok");
  EXPECT_EQ(seen, "data");
}

TEST_F(CHttpPumpTest, ChunkedRequestBodyReachesTheServer) {
  std::string seen;
  COrigin origin([&](int fd) {
    std::string rest;
    test::ReadHead(fd, &rest);
    const std::string expected = "5\r\nhello\r\n0\r\n\r\n";
    seen = test::ReadN(fd, expected.size(), &rest);
    qlm::test::WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
  });
  Exchange(origin.Port(), "POST", "Transfer-Encoding: chunked\r\n", "5\r\nhello\r\n0\r\n\r\n");
  EXPECT_EQ(seen, "5\r\nhello\r\n0\r\n\r\n");
}

TEST_F(CHttpPumpTest, StatusLineRebuiltFromItsParts) {
  COrigin origin = Answering("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(Exchange(origin.Port(), "GET").substr(0, 24), "HTTP/1.1 404 Not Found\r\n");
}

TEST_F(CHttpPumpTest, UnrewritableHeadsPassUnchanged) {
  // A control character in a head line: head and rest relayed as they came.
  COrigin unsafe = Answering("HTTP/1.0 200 OK\r\nX: \x01\r\n\r\nbody");
  EXPECT_EQ(Exchange(unsafe.Port(), "GET"), "HTTP/1.0 200 OK\r\nX: \x01\r\n\r\nbody");
  // A status line that does not parse.
  COrigin odd = Answering("ICY 200 OK\r\nA: b\r\n\r\nstream");
  EXPECT_EQ(Exchange(odd.Port(), "GET"), "ICY 200 OK\r\nA: b\r\n\r\nstream");
}

TEST_F(CHttpPumpTest, ChunkSizeLineOf512BytesIsRefused) {
  COrigin origin = Answering("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1" +
                             std::string(520, '0') + "\r\n");
  Exchange(origin.Port(), "GET");
  EXPECT_TRUE(qlm::test::WaitUntil([&] {
    return log_.HasLineContaining("ERR", "CHttpPump::PumpResponseForTransferEncoding:Transfer-Encoding too "
                           "long chunk-size line");
  }));
}

TEST_F(CHttpPumpTest, ServerResetMidBodyEndsTheConnection) {
  COrigin origin([](int fd) {
    std::string rest;
    test::ReadHead(fd, &rest);
    qlm::test::WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" +
                                std::string(1000, 'x'));
    linger reset{1, 0};  // close with RST
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  });
  const std::string reply = Exchange(origin.Port(), "GET");
  EXPECT_EQ(Body(reply), std::string(1000, 'x'));
}

TEST_F(CHttpPumpTest, RangeRequestAsksTheServerToClose) {
  std::string seen;
  COrigin origin = Answering("HTTP/1.1 206 Partial\r\nContent-Length: 1\r\n\r\nx", &seen);
  const int fd = qlm::test::ConnectTcp("127.0.0.1", proxy_.Port());
  ASSERT_TRUE(qlm::test::WriteAll(fd, "GET http://127.0.0.1:" + std::to_string(origin.Port()) +
                                          "/ HTTP/1.1\r\nRange: bytes=0-0\r\n\r\n"));
  std::string rest;
  EXPECT_FALSE(test::ReadHead(fd, &rest).empty());
  close(fd);
  EXPECT_NE(seen.find("\r\nConnection: close\r\nRange: bytes=0-0\r\n"), std::string::npos) << seen;
}

TEST_F(CHttpPumpTest, Status200SignalsTheUpdateCheckUntilItHasStarted) {
  std::atomic<int> signals{0};
  std::atomic<bool> started{false};
  HttpProxyConfig config = test::ShortConfig();
  config.signal_update_check = [&] { ++signals; };
  config.update_check_started = [&] { return started.load(); };
  ConfigureHttpProxy(config);
  COrigin ok = Answering("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
  COrigin missing = Answering("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  Exchange(missing.Port(), "GET");
  EXPECT_EQ(signals.load(), 0);
  Exchange(ok.Port(), "GET");
  EXPECT_EQ(signals.load(), 1);
  started = true;
  Exchange(ok.Port(), "GET");
  EXPECT_EQ(signals.load(), 1);
  config.AutoUpdate = false;
  started = false;
  ConfigureHttpProxy(config);
  Exchange(ok.Port(), "GET");
  EXPECT_EQ(signals.load(), 1);
}

TEST_F(CHttpPumpTest, SilentServerEndsTheExchangeAfterItsRounds) {
  HttpProxyConfig config = test::ShortConfig();
  config.timeouts.response_relay = std::chrono::milliseconds(400);
  config.timeouts.response_round = std::chrono::milliseconds(100);
  ConfigureHttpProxy(config);
  COrigin origin([](int fd) {
    std::string rest;
    test::ReadHead(fd, &rest);
    test::ReadHead(fd, &rest, 5000);  // until the proxy gives up and closes
  });
  EXPECT_EQ(Exchange(origin.Port(), "GET"), "");
}

TEST_F(CHttpPumpTest, HeadCutBySilenceKeepsItsFirstLines) {
  HttpProxyConfig config = test::ShortConfig();
  config.timeouts.response_round = std::chrono::milliseconds(50);
  ConfigureHttpProxy(config);
  COrigin origin([](int fd) {
    std::string rest;
    test::ReadHead(fd, &rest);
    qlm::test::WriteAll(fd, "HTTP/1.0 200 OK\r\nA: 1\r\n");
    // Longer than one round of the proxy's head read: provokes its time-out.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    qlm::test::WriteAll(fd, "Content-Length: 2\r\n\r\nok");
  });
  EXPECT_EQ(Exchange(origin.Port(), "GET"),
            "HTTP/1.0 200 OK\r\nConnection: close\r\nProxy-Connection: close\r\nA: 1\r\n"
            "Content-Length: 2\r\n\r\nok");
}

}  // namespace
}  // namespace qlm::http
