// The HTTP proxy driven by curl and raw sockets against a local origin:
// bodies by length, chunks and close byte for byte, keep-alive over one
// origin connection, Range, a mid-body reset, 100 Continue, and the exact
// bytes of every reply the proxy makes itself.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>

#include "tests/e2e/http/http_proxy_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::test {
namespace {

constexpr char kProxyIp[] = "127.0.0.81";
constexpr char kOriginIp[] = "127.0.0.82";

const char kErrorHead[] =
    "Proxy-agent: Quillmar Proxy Server\r\nProxy-Connection: close\r\nPragma: no-cache\r\n"
    "Cache-Control: no-cache\r\nAccept-Ranges: bytes\r\nContent-Type: text/html\r\n";

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string bytes(n, '\0');
  for (auto& c : bytes) c = static_cast<char>(gen() & 0xFF);
  return bytes;
}

class HttpE2ETest : public ::testing::Test {
 protected:
  void SetUp() override {
    big_ = RandomBytes(1 << 20, 7);
    folder_.Write("big.bin", big_);
    folder_.Write("small.html", "<html>small</html>");
    ASSERT_TRUE(proxy_.Start());
    ASSERT_TRUE(origin_.Started());
  }
  RunResult Curl(std::vector<std::string> args) {
    std::vector<std::string> argv = {"curl", "-sS", "--max-time", "30", "-x", proxy_.Url()};
    argv.insert(argv.end(), args.begin(), args.end());
    return qlm::test::Run(argv, {}, std::nullopt, std::chrono::seconds(40));
  }
  // One raw request on a new connection; the reply until the proxy closes.
  std::string Raw(const std::string& request) {
    const int fd = ConnectTcp(kProxyIp, proxy_.Port());
    EXPECT_GE(fd, 0);
    WriteAll(fd, request);
    std::string reply = ReadAll(fd, 1 << 20, 10000);
    close(fd);
    return reply;
  }
  static std::string ErrorReply(const std::string& status, const std::string& body) {
    return status + "\r\n" + kErrorHead + "Content-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
  }

  std::string big_;
  CTempFolder folder_;
  CHttpProxyUnderTest proxy_{kProxyIp};
  COriginUnderTest origin_{kOriginIp, folder_.Path()};
};

TEST_F(HttpE2ETest, BodiesByLengthChunksAndCloseArriveByteForByte) {
  for (const char* kind : {"/length/", "/chunked/", "/close/"}) {
    const std::string out = folder_.Path() + "/out.bin";
    const RunResult r = Curl({"-o", out, origin_.Url(std::string(kind) + "big.bin")});
    EXPECT_EQ(r.code, 0) << kind << r.err;
    EXPECT_TRUE(ReadFile(out) == big_) << kind;
  }
  // The origin saw the request through the proxy.
  const RunResult last = Curl({origin_.Url("/last")});
  EXPECT_NE(last.out.find("(Quillmar)\r\n"), std::string::npos) << last.out;
}

TEST_F(HttpE2ETest, TwoRequestsOnOneClientConnectionShareOneOriginConnection) {
  const int before = std::stoi(Curl({origin_.Url("/count")}).out);
  // curl sends both over one proxy connection; the proxy keeps its origin one.
  const RunResult r = Curl({origin_.Url("/length/small.html"), origin_.Url("/count")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "<html>small</html>" + std::to_string(before + 1));
}

TEST_F(HttpE2ETest, RangeRequestGoesOutWithConnectionClose) {
  const RunResult r = Curl({"-r", "0-9", origin_.Url("/length/small.html")});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string last = Curl({origin_.Url("/last")}).out;
  EXPECT_NE(last.find("Connection: close\r\n"), std::string::npos) << last;
  EXPECT_NE(last.find("Range: bytes=0-9\r\n"), std::string::npos) << last;
}

TEST_F(HttpE2ETest, ServerResetMidBodyEndsTheTransferShort) {
  const std::string out = folder_.Path() + "/cut.bin";
  const RunResult r = Curl({"-o", out, origin_.Url("/reset/big.bin")});
  EXPECT_NE(r.code, 0);
  const std::string got = ReadFile(out);
  EXPECT_LE(got.size(), big_.size());
  EXPECT_TRUE(big_.compare(0, got.size(), got) == 0);
}

TEST_F(HttpE2ETest, ContinueThenFinalResponse) {
  const std::string body = folder_.Path() + "/big.bin";
  const RunResult r = Curl({"-H", "Expect: 100-continue", "--data-binary", "@" + body,
                            origin_.Url("/continue")});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "got 1048576");
}

TEST_F(HttpE2ETest, ExactRepliesOfTheProxy) {
  EXPECT_EQ(Raw("GET http://" + std::string(kOriginIp) + " HTTP/1.0\r\n\r\n"),
            "HTTP/1.0 302 Found different location\r\nProxy-agent: Quillmar Proxy Server\r\n"
            "Proxy-Connection: close\r\nLocation: http://127.0.0.82/\r\n\r\n");
  EXPECT_EQ(Raw("GET /relative HTTP/1.0\r\n\r\n"),
            ErrorReply("HTTP/1.0 400 Bad Request",
                       "<html><head><title>Request Error</title></head><body>400 Bad Request: "
                       "parsing submitted URI error<br></body></html>"));
  const std::string not_implemented = ErrorReply(
      "HTTP/1.1 501 Service Not Implemented",
      "<html><head><title>Request Error</title></head><body>501 Server doesn't Implemented the "
      "requested service!<br></body></html>");
  EXPECT_EQ(Raw("BREW " + origin_.Url("/") + " HTTP/1.0\r\n\r\n"), not_implemented);
  EXPECT_EQ(Raw("GET " + origin_.Url("/") + "\r\n\r\n"), not_implemented);
  std::string huge = "GET " + origin_.Url("/") + " HTTP/1.0\r\n";
  while (huge.size() < 70000) huge += "X-Fill: " + std::string(990, 'f') + "\r\n";
  EXPECT_EQ(Raw(huge + "\r\n"),
            ErrorReply("HTTP/1.1 414 Request URI Too Large",
                       "<html><head><title>Request Error</title></head><body>414 Request URI or "
                       "headers are too Large<br></body></html>"));
}

TEST_F(HttpE2ETest, LongLinesAndUnsafeBytesCloseWithoutReply) {
  EXPECT_EQ(Raw("GET " + origin_.Url("/") + std::string(40000, 'a')), "");
  EXPECT_EQ(Raw("GET " + origin_.Url("/") + " HTTP/1.0\r\nX: a\x7f\r\n\r\n"), "");
  // 8-bit bytes and HT/VT/FF are not unsafe.
  const std::string ok = Raw("GET " + origin_.Url("/length/small.html") +
                             " HTTP/1.0\r\nX-Name: caf\xc3\xa9\t\v\f\r\n\r\n");
  EXPECT_EQ(ok.substr(0, 17), "HTTP/1.1 200 OK\r\n");
}

TEST_F(HttpE2ETest, ConnectTunnelReplyAndRelay) {
  const int fd = ConnectTcp(kProxyIp, proxy_.Port());
  ASSERT_GE(fd, 0);
  WriteAll(fd, "CONNECT " + std::string(kOriginIp) + ":" + std::to_string(origin_.Port()) +
                   " HTTP/1.1\r\nHost: x\r\n\r\nGET /close/small.html HTTP/1.0\r\n\r\n");
  const std::string reply = ReadAll(fd, 1 << 20, 10000);
  close(fd);
  const std::string tunnel =
      "HTTP/1.1 200 Connection established\r\nProxy-agent: Quillmar Proxy Server\r\n"
      "Proxy-Connection: close\r\nPragma: no-cache\r\nCache-Control: no-cache\r\n\r\n";
  ASSERT_EQ(reply.substr(0, tunnel.size()), tunnel);
  // The request that came with the CONNECT went through the tunnel.
  EXPECT_NE(reply.find("<html>small</html>"), std::string::npos) << reply;
  EXPECT_EQ(Raw("CONNECT " + std::string(kOriginIp) + " HTTP/1.1\r\n\r\n"),
            ErrorReply("HTTP/1.0 400 Bad Request",
                       "<html><head><title>Request Error</title></head><body>400 Bad Request: "
                       "parsing https hostname error<br></body></html>"));
}

TEST(HttpE2ELimitTest, ConnectionBeyondTheLimitGets503) {
  CHttpProxyUnderTest proxy("127.0.0.84", 1);
  ASSERT_TRUE(proxy.Start());
  // The first connection holds the only slot while it waits for its request.
  int holder = ConnectTcp("127.0.0.84", proxy.Port());
  ASSERT_GE(holder, 0);
  const std::string refused =
      "HTTP/1.1 503 Service Temporarily Unavailable:Limited by maximum connections\r\n" +
      std::string(kErrorHead) +
      "Content-Length: 174\r\n\r\n<html><head><title>Service Temporarily Unavailable</title>"
      "</head><body>503 Service Temporarily Unavailable:Limited by maximum connections! "
      "Please try again.<br></body></html>";
  // Until the holder's thread has its slot a second connection may get it
  // (and a 400 for its relative URI); then it is refused. A holder that lost
  // that race was refused itself (its socket turns readable) and connects again.
  std::string reply;
  EXPECT_TRUE(WaitUntil([&] {
    pollfd refused_holder{holder, POLLIN, 0};
    if (poll(&refused_holder, 1, 0) == 1) {
      close(holder);
      holder = ConnectTcp("127.0.0.84", proxy.Port());
      return false;
    }
    const int fd = ConnectTcp("127.0.0.84", proxy.Port());
    WriteAll(fd, "GET / HTTP/1.0\r\n\r\n");
    reply = ReadAll(fd, 1 << 16, 10000);
    close(fd);
    return reply == refused;
  }));
  EXPECT_EQ(reply, refused);
  close(holder);
}

}  // namespace
}  // namespace qlm::test
