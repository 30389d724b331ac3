// Connecting to the origin: reuse of a kept connection only while it is
// idle, the always-new connect form, and host names that do not resolve.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <optional>

#include "net/host_cache.h"
#include "proxies/http/http_server_socket.h"
#include "tests/proxies/http/http_test_support.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::http {
namespace {

using std::chrono::milliseconds;

// Resolves nothing, so no test depends on the machine's resolver.
class CNoNames : public net::IResolver {
 public:
  std::optional<net::HostEntry> ByName(const std::string&) override { return std::nullopt; }
  std::optional<net::HostEntry> ByAddress(in_addr) override { return std::nullopt; }
};

class CHttpServerSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    net::CHostCache::Instance().Clear();
    net::CHostCache::Instance().SetResolver(std::make_shared<CNoNames>());
  }
  void TearDown() override {
    net::CHostCache::Instance().SetResolver(nullptr);
    net::CHostCache::Instance().Clear();
  }
};

TEST_F(CHttpServerSocketTest, KeptConnectionReusedOnlyWhileIdle) {
  std::atomic<bool> send_stray{false};
  test::COrigin origin([&](int fd) {
    qlm::test::WaitUntil([&] { return send_stray.load(); }, milliseconds(3000));
    qlm::test::WriteAll(fd, "stray");
    qlm::test::ReadAll(fd, 100, 3000);
  });
  CHttpServerSocket server;
  ASSERT_EQ(server.ConnectServer("127.0.0.1", origin.Port(), milliseconds(3000)), 1);
  const int first = server.Handle();
  EXPECT_EQ(server.local_address_.sin_family, AF_INET);
  // Same host (any case) and port, idle: the same connection.
  ASSERT_EQ(server.ConnectServer("127.0.0.1", origin.Port(), milliseconds(3000)), 1);
  EXPECT_EQ(server.Handle(), first);
  EXPECT_TRUE(qlm::test::WaitUntil([&] { return origin.Accepted() == 1; }));
  // The server sent something unasked: that connection is not reused.
  send_stray = true;
  ASSERT_TRUE(qlm::test::WaitUntil([&] { return server.WaitReadable(milliseconds(0)); }));
  ASSERT_EQ(server.ConnectServer("127.0.0.1", origin.Port(), milliseconds(3000)), 1);
  EXPECT_TRUE(qlm::test::WaitUntil([&] { return origin.Accepted() == 2; }));
  EXPECT_EQ(server.Buffer().Count(), 0u);
  server.Close();
}

TEST_F(CHttpServerSocketTest, UnresolvedHostsAndRefusedConnects) {
  CHttpServerSocket server;
  EXPECT_EQ(server.ConnectServer("no-such-host", 80, milliseconds(1000)), 0);
  try {
    server.ConnectServerNew("no-such-host", 80, milliseconds(1000));
    FAIL() << "no exception";
  } catch (const net::CBlockingSocketException& e) {
    EXPECT_EQ(e.Message(), "HttpClientThreadProc:Remote Host is not resolved!");
  }
  const uint16_t dead = qlm::test::FreeTcpPort();
  EXPECT_THROW(server.ConnectServer("127.0.0.1", dead, milliseconds(1000)),
               net::CBlockingSocketException);
  EXPECT_FALSE(server.IsOpen());
}

TEST_F(CHttpServerSocketTest, StatusLineParsedIntoItsParts) {
  CHttpServerSocket server;
  EXPECT_EQ(server.ParsingResponseLine("HTTP/1.1 404 Not Found"), 1);
  EXPECT_EQ(server.version_, "HTTP/1.1");
  EXPECT_EQ(server.status_, 404);
  EXPECT_EQ(server.reason_, "Not Found");
  EXPECT_EQ(server.ParsingResponseLine("HTTP/1.1  404 Not Found"), 0);
}

}  // namespace
}  // namespace qlm::http
