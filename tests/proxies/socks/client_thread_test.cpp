// ClientThreadProc over real loopback connections: SOCKS 4 and 5 CONNECT,
// the method negotiation, every refused request with its reply (or none) and
// its ERR line, other protocols on the SOCKS port, time-outs, the connection
// limit and the engine's stop.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string>

#include "engine/connection_limit.h"
#include "net/host_cache.h"
#include "net/shutdown_socket.h"
#include "proxies/socks/client_socket.h"
#include "socks_test_support.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::socks::test {
namespace {

using qlm::test::WaitUntil;

class ClientThreadProcTest : public ::testing::Test {
 protected:
  CSocksHarness harness_;
};

Bytes Socks4Request(uint8_t cd, uint16_t port, const char* ip, const std::string& user) {
  Bytes bytes = Concat({{0x04, cd}, Port(port), Ip(ip)});
  bytes.insert(bytes.end(), user.begin(), user.end());
  bytes.push_back(0);
  return bytes;
}

// Relays one line both ways through an established session.
void ExpectEcho(int fd) {
  ASSERT_TRUE(SendBytes(fd, {'p', 'i', 'n', 'g'}));
  EXPECT_EQ(ReadBytes(fd, 4), (Bytes{'p', 'i', 'n', 'g'}));
}

TEST_F(ClientThreadProcTest, Socks4ConnectRepliesWithTheOutwardAddressAndRelays) {
  CTcpEcho echo;
  const int fd = harness_.Connect();
  ASSERT_TRUE(SendBytes(fd, Socks4Request(1, echo.port(), "127.0.0.1", "bob")));
  const Bytes reply = ReadBytes(fd, 8);
  ASSERT_EQ(reply.size(), 8u);
  EXPECT_EQ(reply[0], 0);
  EXPECT_EQ(reply[1], 90);
  const uint16_t outward = static_cast<uint16_t>(reply[2] << 8 | reply[3]);
  EXPECT_NE(outward, echo.port()) << "the proxy's own port, not the destination's";
  EXPECT_NE(outward, 0);
  EXPECT_EQ(Bytes(reply.begin() + 4, reply.end()), Ip("127.0.0.1"));
  ExpectEcho(fd);
  ::close(fd);
  ASSERT_TRUE(WaitUntil([&] { return harness_.AllEnded(); }));
  EXPECT_TRUE(harness_.HasLogStartingWith(" ", "SOCKS_CONNECT 127.0.0.1"));
  const auto texts = harness_.ActivityTexts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].rfind("CONNECT: 127.0.0.1:", 0), 0u) << texts[0];
  EXPECT_NE(texts[0].find(" bob) -> Proxy 127.0.0.1:" + std::to_string(outward) +
                          " -> Remote 127.0.0.1:" + std::to_string(echo.port())),
            std::string::npos)
      << texts[0];
  EXPECT_EQ(texts[1], "<end>");
}

TEST_F(ClientThreadProcTest, Socks5ConnectWithIpv4AndDomainName) {
  CTcpEcho echo;
  net::CHostCache::Instance().Clear();
  for (const Bytes& address :
       {Concat({{0x01}, Ip("127.0.0.1")}), Bytes{0x03, 9, '1', '2', '7', '.', '0', '.', '0', '.', '1'}}) {
    const int fd = harness_.Connect();
    ASSERT_TRUE(SendBytes(fd, {0x05, 0x01, 0x00}));
    EXPECT_EQ(ReadBytes(fd, 2), (Bytes{0x05, 0x00}));
    ASSERT_TRUE(SendBytes(fd, Concat({{0x05, 0x01, 0x00}, address, Port(echo.port())})));
    const Bytes reply = ReadBytes(fd, 10);
    ASSERT_EQ(reply.size(), 10u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 8), Concat({{5, 0, 0, 1}, Ip("127.0.0.1")}));
    EXPECT_NE(reply[8] << 8 | reply[9], echo.port());
    ExpectEcho(fd);
    ::close(fd);
  }
}

TEST_F(ClientThreadProcTest, MethodNegotiation) {
  // 0x01 and 0x02 only: 05 FF, then the close.
  const int refused = harness_.Connect();
  ASSERT_TRUE(SendBytes(refused, {0x05, 0x02, 0x01, 0x02}));
  EXPECT_EQ(ReadBytes(refused, 2), (Bytes{0x05, 0xFF}));
  EXPECT_TRUE(ClosedByPeer(refused));
  EXPECT_TRUE(WaitUntil([&] {
    return harness_.HasLog("ERR", "ClientThreadProc:Authentication fails");
  }));
  ::close(refused);
  // 0x02 then 0x00: 05 00.
  const int accepted = harness_.Connect();
  ASSERT_TRUE(SendBytes(accepted, {0x05, 0x02, 0x02, 0x00}));
  EXPECT_EQ(ReadBytes(accepted, 2), (Bytes{0x05, 0x00}));
  ::close(accepted);
  // An empty list is a broken client.
  const int empty = harness_.Connect();
  ASSERT_TRUE(SendBytes(empty, {0x05, 0x00}));
  EXPECT_TRUE(ClosedByPeer(empty));
  EXPECT_TRUE(WaitUntil([&] {
    return harness_.HasLog("ERR", "CClientSocket::Socks5Auth:Receive socket reset or closed");
  }));
  ::close(empty);
}

class FailingResolver : public net::IResolver {
 public:
  std::optional<net::HostEntry> ByName(const std::string&) override { return std::nullopt; }
  std::optional<net::HostEntry> ByAddress(in_addr) override { return std::nullopt; }
};

TEST_F(ClientThreadProcTest, RefusedRequestsGetReplies7And8And4ThenClose) {
  net::CHostCache::Instance().Clear();
  net::CHostCache::Instance().SetResolver(std::make_shared<FailingResolver>());
  const struct {
    Bytes request;
    uint8_t rep;
  } cases[] = {
      {Concat({{0x05, 0x04, 0x00, 0x01}, Ip("127.0.0.1"), Port(80)}), 7},
      {Concat({{0x05, 0x01, 0x00, 0x04}, Bytes(16, 0), Port(80)}), 8},
      {Concat({{0x05, 0x01, 0x00, 0x07}, Ip("127.0.0.1"), Port(80)}), 8},
      {Concat({{0x05, 0x01, 0x00, 0x03, 5, 'n', 'o', 'w', 'h', 'y'}, Port(80)}), 4},
  };
  for (const auto& c : cases) {
    const int fd = harness_.Connect();
    ASSERT_TRUE(SendBytes(fd, {0x05, 0x01, 0x00}));
    ASSERT_EQ(ReadBytes(fd, 2), (Bytes{0x05, 0x00}));
    ASSERT_TRUE(SendBytes(fd, c.request));
    EXPECT_EQ(ReadBytes(fd, 10), (Bytes{5, c.rep, 0, 1, 0, 0, 0, 0, 0, 0})) << int(c.rep);
    EXPECT_TRUE(ClosedByPeer(fd));
    ::close(fd);
  }
  net::CHostCache::Instance().SetResolver(nullptr);
  ASSERT_TRUE(WaitUntil([&] { return harness_.AllEnded(); }));
  EXPECT_TRUE(harness_.HasLog("ERR", "ClientThreadProc:Invalid request"));
}

TEST_F(ClientThreadProcTest, ClosesWithoutReply) {
  const struct {
    Bytes bytes;
    const char* error;
  } cases[] = {
      {Concat({{0x05, 0x01, 0x00, 0x04, 0x01, 0x00, 0x01}, Ip("127.0.0.1"), Port(80)}),
       "CClientSocket::GetSocks5Dest:Bad version"},
      {Socks4Request(3, 80, "127.0.0.1", ""), "undefined socks command"},
      {Concat({{0x05, 0x01, 0x00, 0x05, 0x01, 0x00, 0x03}}),
       "CClientSocket::GetSocks5Dest:Receive socket reset or closed"},
  };
  for (const auto& c : cases) {
    const int fd = harness_.Connect();
    ASSERT_TRUE(SendBytes(fd, c.bytes));
    if (c.bytes[0] == 0x05) {
      ASSERT_EQ(ReadBytes(fd, 2), (Bytes{0x05, 0x00}));
    }
    if (c.bytes.size() == 7) {
      ::shutdown(fd, SHUT_WR);  // the name length never comes
    }
    EXPECT_EQ(ReadBytes(fd, 1), Bytes{}) << c.error;
    ::close(fd);
    EXPECT_TRUE(WaitUntil([&] { return harness_.HasLog("ERR", c.error); })) << c.error;
  }
}

TEST_F(ClientThreadProcTest, AnotherProtocolIsDumpedIntoTheErrorText) {
  const int fd = harness_.Connect();
  ASSERT_TRUE(SendBytes(fd, {'A', 'B', 'C', '\r', '\n'}));
  EXPECT_TRUE(ClosedByPeer(fd));
  ::close(fd);
  // The log turns the text's closing line end into a blank.
  EXPECT_TRUE(WaitUntil([&] {
    return harness_.HasLog(
        "ERR", "Wrong socks version or not a SOCKS protocol: 0x41 'B' 'C' 0xd 0xa  ");
  }));
}

TEST_F(ClientThreadProcTest, AnotherProtocolThatFallsSilent) {
  SocksTimeouts t = ShortTimeouts();
  t.handshake = std::chrono::milliseconds(100);
  const int fd = harness_.Connect(t);
  ASSERT_TRUE(SendBytes(fd, {'G'}));
  EXPECT_TRUE(ClosedByPeer(fd));
  ::close(fd);
  EXPECT_TRUE(WaitUntil([&] {
    return harness_.HasLog("ERR",
                           "Wrong socks version or a bad request. It is possible that you are "
                           "using a different protocol to connect to this SOCKS port!");
  }));
  EXPECT_TRUE(WaitUntil([&] { return harness_.HasLogStartingWith("ERR", "CBlockingSocket::Receive timeout"); }));
}

TEST_F(ClientThreadProcTest, RefusedConnectClosesWithoutReplyAndLogsTheError) {
  const uint16_t closed_port = qlm::test::FreeTcpPort("127.0.0.1");
  const int fd = harness_.Connect();
  ASSERT_TRUE(SendBytes(fd, Socks4Request(1, closed_port, "127.0.0.1", "")));
  EXPECT_EQ(ReadBytes(fd, 8), Bytes{});
  ::close(fd);
  ASSERT_TRUE(WaitUntil([&] { return harness_.AllEnded(); }));
  EXPECT_TRUE(harness_.HasLogStartingWith("ERR", "CBlockingSocket::"));
  EXPECT_FALSE(harness_.HasLogStartingWith(" ", "SOCKS_CONNECT"));
}

TEST_F(ClientThreadProcTest, EarlyCloseSilenceLimitAndStop) {
  const int closed = harness_.Connect();
  ::close(closed);
  EXPECT_TRUE(WaitUntil([&] { return harness_.HasLog("ERR", "ClientThreadProc:Receive Client Closed"); }));

  SocksTimeouts quick = ShortTimeouts();
  quick.handshake = std::chrono::milliseconds(50);
  const int silent = harness_.Connect(quick);
  EXPECT_TRUE(ClosedByPeer(silent));
  ::close(silent);

  engine::CConnectionLimit::Instance().Reset(0);
  const int limited = harness_.Connect();
  EXPECT_TRUE(ClosedByPeer(limited));
  ::close(limited);
  EXPECT_TRUE(WaitUntil([&] {
    return harness_.HasLog("ERR", "ClientThreadProc:Limited by maximum connections.");
  }));
  engine::CConnectionLimit::Instance().Reset(engine::CConnectionLimit::kDefaultMaxConnections);

  SocksTimeouts slow = ShortTimeouts();
  slow.handshake = std::chrono::minutes(10);
  const int waiting = harness_.Connect(slow);
  ASSERT_TRUE(SendBytes(waiting, {0x04}));
  net::CShutdownSocket::Instance().Close();
  EXPECT_TRUE(ClosedByPeer(waiting));
  ::close(waiting);
  EXPECT_TRUE(WaitUntil([&] { return harness_.AllEnded(); }));
  net::CShutdownSocket::Instance().ResetForTest();
  EXPECT_EQ(engine::CConnectionLimit::Instance().Free(),
            engine::CConnectionLimit::kDefaultMaxConnections);
}

// The user id is read byte by byte and cut to 255 characters.
TEST(ClientSocketTest, UserIdOf300CharactersKeeps255) {
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  CClientSocket client(ShortTimeouts());
  client.Attach(fds[0]);
  std::string user(300, 'u');
  user[254] = 'L';
  Bytes bytes = Socks4Request(1, 80, "127.0.0.9", user);
  ASSERT_TRUE(SendBytes(fds[1], Bytes(bytes.begin() + 1, bytes.end())));
  client.GetSocks4Dest();
  client.GetSRCUser();
  EXPECT_EQ(client.user_name_, user.substr(0, 255));
  EXPECT_EQ(client.version_, 4);
  EXPECT_EQ(client.command_, 1);
  EXPECT_EQ(client.dest_socket_address_.sin_addr.s_addr, inet_addr("127.0.0.9"));
  EXPECT_EQ(ntohs(client.dest_socket_address_.sin_port), 80);
  ::close(fds[1]);
}

}  // namespace
}  // namespace qlm::socks::test
