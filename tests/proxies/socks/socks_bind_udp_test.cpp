// BIND and UDP ASSOCIATE through ClientThreadProc on loopback: the two BIND
// replies and the peer check, and the datagram relay with its client-address
// rules, drops, records and ends.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "net/blocking_socket.h"
#include "net/shutdown_socket.h"
#include "socks_test_support.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::socks::test {
namespace {

using qlm::test::WaitUntil;

class SocksBindTest : public ::testing::Test {
 protected:
  CSocksHarness harness_;
};

// A TCP connection to 127.0.0.1:port from the source address `from`.
int ConnectFrom(const char* from, uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = inet_addr(from);
  ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local));
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = inet_addr("127.0.0.1");
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof(to)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

uint16_t PortIn(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] << 8 | b[at + 1]); }

TEST_F(SocksBindTest, Socks4BindFromTheNamedHostOnAnyPort) {
  const int fd = harness_.Connect();
  ASSERT_TRUE(SendBytes(fd, Concat({{0x04, 0x02}, Port(0), Ip("127.0.0.5"), {'u', 0}})));
  const Bytes first = ReadBytes(fd, 8);
  ASSERT_EQ(first.size(), 8u);
  EXPECT_EQ(first[1], 90);
  EXPECT_EQ(Bytes(first.begin() + 4, first.end()), Ip("0.0.0.0"));
  const int peer = ConnectFrom("127.0.0.5", PortIn(first, 2));
  ASSERT_GE(peer, 0);
  const Bytes second = ReadBytes(fd, 8);
  EXPECT_EQ(second, Concat({{0, 90}, Port(LocalPort(peer)), Ip("127.0.0.5")}));
  ASSERT_TRUE(SendBytes(peer, {'t', 'o'}));
  EXPECT_EQ(ReadBytes(fd, 2), (Bytes{'t', 'o'}));
  ASSERT_TRUE(SendBytes(fd, {'f', 'r'}));
  EXPECT_EQ(ReadBytes(peer, 2), (Bytes{'f', 'r'}));
  ::close(peer);
  EXPECT_TRUE(ClosedByPeer(fd));
  ::close(fd);
  ASSERT_TRUE(WaitUntil([&] { return harness_.AllEnded(); }));
  EXPECT_TRUE(harness_.HasLogStartingWith(" ", "SOCKS_BIND 127.0.0.5"));
  EXPECT_EQ(harness_.ActivityTexts().at(0).rfind("BIND: 127.0.0.5:", 0), 0u);
}

TEST_F(SocksBindTest, WrongHostGetsTheFailureReplyNamingIt) {
  const int fd = harness_.Connect();
  ASSERT_TRUE(SendBytes(fd, Concat({{0x04, 0x02}, Port(0), Ip("127.0.0.5"), {0}})));
  const Bytes first = ReadBytes(fd, 8);
  ASSERT_EQ(first.size(), 8u);
  const int stranger = ConnectFrom("127.0.0.6", PortIn(first, 2));
  ASSERT_GE(stranger, 0);
  const uint16_t stranger_port = LocalPort(stranger);
  EXPECT_EQ(ReadBytes(fd, 8), Concat({{0, 91}, Port(stranger_port), Ip("127.0.0.6")}));
  EXPECT_TRUE(ClosedByPeer(fd));
  ::close(stranger);
  ::close(fd);
  ASSERT_TRUE(WaitUntil([&] { return harness_.AllEnded(); }));
  sockaddr_in stranger_address{};
  stranger_address.sin_family = AF_INET;
  stranger_address.sin_addr.s_addr = inet_addr("127.0.0.6");
  const std::string name = net::CBlockingSocket::LookupHostName(stranger_address);
  EXPECT_TRUE(harness_.HasLog("ERR", "ClientThreadProc:SOCKS_BIND:Wrong host <" + name + ":" +
                                         std::to_string(stranger_port) + "> connected"));
}

TEST_F(SocksBindTest, Socks5WrongPortGetsRep1) {
  const int fd = harness_.Connect();
  ASSERT_TRUE(SendBytes(fd, {0x05, 0x01, 0x00}));
  ASSERT_EQ(ReadBytes(fd, 2), (Bytes{0x05, 0x00}));
  ASSERT_TRUE(SendBytes(fd, Concat({{0x05, 0x02, 0x00, 0x01}, Ip("127.0.0.5"), Port(1)})));
  const Bytes first = ReadBytes(fd, 10);
  ASSERT_EQ(first.size(), 10u);
  EXPECT_EQ(Bytes(first.begin(), first.begin() + 8), Concat({{5, 0, 0, 1}, Ip("0.0.0.0")}));
  const int peer = ConnectFrom("127.0.0.5", PortIn(first, 8));
  ASSERT_GE(peer, 0);
  EXPECT_EQ(ReadBytes(fd, 10), Concat({{5, 1, 0, 1}, Ip("127.0.0.5"), Port(LocalPort(peer))}));
  ::close(peer);
  ::close(fd);
  EXPECT_TRUE(WaitUntil([&] {
    return harness_.HasLogStartingWith("ERR", "ClientThreadProc:SOCKS_BIND:Wrong port <");
  }));
}

TEST_F(SocksBindTest, NoPeerWithinTheWaitClosesAfterTheFirstReply) {
  SocksTimeouts t = ShortTimeouts();
  t.bind_accept = std::chrono::milliseconds(100);
  const int fd = harness_.Connect(t);
  ASSERT_TRUE(SendBytes(fd, Concat({{0x04, 0x02}, Port(0), Ip("127.0.0.5"), {0}})));
  EXPECT_EQ(ReadBytes(fd, 8).size(), 8u);
  EXPECT_EQ(ReadBytes(fd, 1), Bytes{});
  ::close(fd);
  EXPECT_TRUE(WaitUntil([&] { return harness_.HasLogStartingWith("ERR", "CBlockingSocket::Accept"); }));
}

class SocksUdpTest : public SocksBindTest {
 protected:
  // Negotiates and asks for an association; returns the relay's port.
  uint16_t Associate(int fd, const char* ip, uint16_t port) {
    EXPECT_TRUE(SendBytes(fd, {0x05, 0x01, 0x00}));
    EXPECT_EQ(ReadBytes(fd, 2), (Bytes{0x05, 0x00}));
    EXPECT_TRUE(SendBytes(fd, Concat({{0x05, 0x03, 0x00, 0x01}, Ip(ip), Port(port)})));
    const Bytes reply = ReadBytes(fd, 10);
    EXPECT_EQ(reply.size(), 10u);
    if (reply.size() != 10) {
      return 0;
    }
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 8), Concat({{5, 0, 0, 1}, Ip("127.0.0.1")}));
    return PortIn(reply, 8);
  }
};

void SendTo(int udp, uint16_t port, const Bytes& bytes) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = inet_addr("127.0.0.1");
  ::sendto(udp, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
}

TEST_F(SocksUdpTest, PortZeroMeansTheTcpSourcePortAndRepliesComeWrapped) {
  CUdpEcho echo;
  const int fd = harness_.Connect();
  const uint16_t relay = Associate(fd, "0.0.0.0", 0);
  const int udp = UdpSocket("127.0.0.1", LocalPort(fd));
  ASSERT_GE(udp, 0);
  const Bytes header = Concat({{0, 0, 0, 1}, Ip("127.0.0.1"), Port(echo.port())});
  SendTo(udp, relay, Concat({header, {'h', 'e', 'y'}}));
  EXPECT_EQ(ReceiveDatagram(udp), Concat({header, {'h', 'e', 'y'}}));
  // Any other port of the client's host is refused with a record.
  const int other = UdpSocket("127.0.0.1", 0);
  SendTo(other, relay, Concat({header, {'n', 'o'}}));
  EXPECT_TRUE(WaitUntil([&] {
    return harness_.HasLog("ERR", "receive not matching client IP UDP packet");
  }));
  EXPECT_EQ(echo.count(), 1);
  ::close(other);
  ::close(udp);
  ::close(fd);
  EXPECT_TRUE(WaitUntil([&] { return harness_.AllEnded(); }));
  EXPECT_TRUE(harness_.HasLogStartingWith(" ", "SOCKS_UDP 127.0.0.1"));
}

TEST_F(SocksUdpTest, NamedPortFragmentsControlBytesStrangersAndTheEnd) {
  CUdpEcho echo;
  const int udp = UdpSocket("127.0.0.1", 0);
  const int fd = harness_.Connect();
  const uint16_t relay = Associate(fd, "0.0.0.0", LocalPort(udp));
  const Bytes header = Concat({{0, 0, 0, 1}, Ip("127.0.0.1"), Port(echo.port())});
  // FRAG 1 is dropped without a word; the next datagram goes through.
  SendTo(udp, relay, Concat({{0, 0, 1, 1}, Ip("127.0.0.1"), Port(echo.port()), {'f'}}));
  SendTo(udp, relay, Concat({header, {'o', 'k'}}));
  EXPECT_EQ(ReceiveDatagram(udp), Concat({header, {'o', 'k'}}));
  EXPECT_EQ(echo.count(), 1);
  // Twelve bytes on the control connection are dropped with a record.
  ASSERT_TRUE(SendBytes(fd, Bytes(12, 'x')));
  EXPECT_TRUE(WaitUntil([&] {
    return harness_.HasLog(
        "ERR", "receiving 12 bytes from UDP client at the control connection, discard it");
  }));
  // A host the client never addressed still reaches it, named in the header.
  const sockaddr_in outward = echo.last_sender();
  const int stranger = UdpSocket("127.0.0.8", 0);
  ::sendto(stranger, "zz", 2, 0, reinterpret_cast<const sockaddr*>(&outward), sizeof(outward));
  EXPECT_EQ(ReceiveDatagram(udp),
            Concat({{0, 0, 0, 1}, Ip("127.0.0.8"), Port(LocalPort(stranger)), {'z', 'z'}}));
  // The client's close ends the association; later replies go nowhere.
  ::close(fd);
  EXPECT_TRUE(WaitUntil([&] { return harness_.AllEnded(); }));
  ::sendto(stranger, "late", 4, 0, reinterpret_cast<const sockaddr*>(&outward), sizeof(outward));
  EXPECT_EQ(ReceiveDatagram(udp, 200), Bytes{});
  ::close(stranger);
  ::close(udp);
}

TEST_F(SocksUdpTest, IdleAssociationEndsByItself) {
  SocksTimeouts t = ShortTimeouts();
  t.relay_idle = std::chrono::milliseconds(100);
  const int fd = harness_.Connect(t);
  Associate(fd, "127.0.0.1", 5000);
  EXPECT_TRUE(ClosedByPeer(fd));
  ::close(fd);
  EXPECT_TRUE(WaitUntil([&] { return harness_.AllEnded(); }));
}

TEST_F(SocksUdpTest, TargetByNameIsResolvedAndAnUnknownNameDropped) {
  CUdpEcho echo;
  const int udp = UdpSocket("127.0.0.1", 0);
  const int fd = harness_.Connect();
  const uint16_t relay = Associate(fd, "0.0.0.0", LocalPort(udp));
  const Bytes unknown = {0, 0, 0, 3, 15, 'n', 'o', '-', 's', 'u', 'c', 'h', '.', 'i', 'n', 'v',
                         'a', 'l', 'i', 'd'};
  SendTo(udp, relay, Concat({unknown, Port(echo.port()), {'u'}}));
  const Bytes named = {0, 0, 0, 3, 9, 'l', 'o', 'c', 'a', 'l', 'h', 'o', 's', 't'};
  SendTo(udp, relay, Concat({named, Port(echo.port()), {'n'}}));
  // The answer names the sender by address, as every relayed reply does.
  EXPECT_EQ(ReceiveDatagram(udp),
            Concat({{0, 0, 0, 1}, Ip("127.0.0.1"), Port(echo.port()), {'n'}}));
  EXPECT_EQ(echo.count(), 1);
  ::close(fd);
  ::close(udp);
  EXPECT_TRUE(WaitUntil([&] { return harness_.AllEnded(); }));
}

// Regression: a reply too large to carry the 10-byte header in one datagram
// made the send to the client fail, which ended the whole association for
// every other host. It is dropped alone now; the largest that fits arrives.
TEST_F(SocksUdpTest, ReplyTooLargeToWrapIsDroppedAndTheAssociationGoesOn) {
  CUdpEcho echo;
  const int udp = UdpSocket("127.0.0.1", 0);
  const int fd = harness_.Connect();
  const uint16_t relay = Associate(fd, "127.0.0.1", LocalPort(udp));
  const Bytes header = Concat({{0, 0, 0, 1}, Ip("127.0.0.1"), Port(echo.port())});
  SendTo(udp, relay, Concat({header, {'a'}}));
  ASSERT_EQ(ReceiveDatagram(udp), Concat({header, {'a'}}));
  const sockaddr_in outward = echo.last_sender();
  const int remote = UdpSocket("127.0.0.9", 0);
  const std::string too_large(65507 - 9, 'L');
  const std::string largest(65507 - 10, 'F');
  ::sendto(remote, too_large.data(), too_large.size(), 0,
           reinterpret_cast<const sockaddr*>(&outward), sizeof(outward));
  ::sendto(remote, largest.data(), largest.size(), 0, reinterpret_cast<const sockaddr*>(&outward),
           sizeof(outward));
  const Bytes got = ReceiveDatagram(udp);
  ASSERT_EQ(got.size(), 65507u);
  EXPECT_EQ(got[10], 'F');
  SendTo(udp, relay, Concat({header, {'b'}}));
  EXPECT_EQ(ReceiveDatagram(udp), Concat({header, {'b'}}));
  ::close(remote);
  ::close(fd);
  ::close(udp);
  EXPECT_TRUE(WaitUntil([&] { return harness_.AllEnded(); }));
}

// The engine's stop ends a BIND wait and an association at once, long
// before their own time-outs.
TEST_F(SocksUdpTest, EngineStopEndsBindWaitAndAssociation) {
  SocksTimeouts slow = ShortTimeouts();
  slow.bind_accept = std::chrono::minutes(10);
  slow.relay_idle = std::chrono::minutes(10);
  const int binding = harness_.Connect(slow);
  ASSERT_TRUE(SendBytes(binding, Concat({{0x04, 0x02}, Port(0), Ip("127.0.0.5"), {0}})));
  ASSERT_EQ(ReadBytes(binding, 8).size(), 8u);
  const int associated = harness_.Connect(slow);
  Associate(associated, "127.0.0.1", 5000);
  net::CShutdownSocket::Instance().Close();
  EXPECT_TRUE(ClosedByPeer(binding));
  EXPECT_TRUE(ClosedByPeer(associated));
  EXPECT_TRUE(WaitUntil([&] { return harness_.AllEnded(); }));
  net::CShutdownSocket::Instance().ResetForTest();
  ::close(binding);
  ::close(associated);
}

}  // namespace
}  // namespace qlm::socks::test
