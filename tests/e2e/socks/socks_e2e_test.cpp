// The SOCKS server as a process, driven by curl (SOCKS 4, SOCKS 5 with
// addresses and with host names) and by raw clients for BIND, the UDP relay
// and the refused requests; every check reads the client's bytes and the
// engine's log file.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/e2e/socks/socks_server_fixture.h"
#include "tests/e2e/support/engine_under_test.h"
#include "tests/proxies/socks/socks_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::socks::test {
namespace {

using qlm::test::CChildProcess;
using qlm::test::CSocksServerUnderTest;
using qlm::test::WaitUntil;

// python3 -m http.server on 127.0.0.1 serving one file.
class COrigin {
 public:
  COrigin() {
    char pattern[] = "/tmp/qlm-socks-origin-XXXXXX";
    folder_ = mkdtemp(pattern);
    for (int i = 0; i < 20000; ++i) {
      body_ += "line " + std::to_string(i) + "\n";
    }
    std::ofstream(folder_ + "/file.txt", std::ios::binary) << body_;
    port_ = qlm::test::FreeTcpPort("127.0.0.1");
    process_ = std::make_unique<CChildProcess>(std::vector<std::string>{
        "python3", "-m", "http.server", "--bind", "127.0.0.1", "--directory", folder_,
        std::to_string(port_)});
    started_ = WaitUntil([this] { return qlm::test::IsListening("127.0.0.1", port_); });
  }
  ~COrigin() {
    process_->Signal(9);
    process_->Wait();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  bool started() const { return started_; }
  uint16_t port() const { return port_; }
  const std::string& body() const { return body_; }

 private:
  std::string folder_;
  std::string body_;
  uint16_t port_ = 0;
  bool started_ = false;
  std::unique_ptr<CChildProcess> process_;
};

class SocksE2eTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }
  int Connect() { return qlm::test::ConnectTcp(server_.Ip(), server_.Port()); }
  std::string Proxy() const { return server_.Ip() + ":" + std::to_string(server_.Port()); }
  // Method negotiation with "no authentication".
  void Negotiate(int fd) {
    ASSERT_TRUE(SendBytes(fd, {0x05, 0x01, 0x00}));
    ASSERT_EQ(ReadBytes(fd, 2), (Bytes{0x05, 0x00}));
  }

  CSocksServerUnderTest server_{"127.0.0.74"};
};

TEST_F(SocksE2eTest, CurlFetchesThroughSocks4Socks5AndSocks5WithHostNames) {
  COrigin origin;
  ASSERT_TRUE(origin.started());
  const std::string port = std::to_string(origin.port());
  const struct {
    const char* option;
    std::string url;
  } cases[] = {
      {"--socks4", "http://127.0.0.1:" + port + "/file.txt"},
      {"--socks5", "http://127.0.0.1:" + port + "/file.txt"},
      {"--socks5-hostname", "http://localhost:" + port + "/file.txt"},
  };
  for (const auto& c : cases) {
    const auto result = qlm::test::Run(
        {"curl", "-sS", "--max-time", "20", c.option, Proxy(), c.url});
    EXPECT_EQ(result.code, 0) << c.option << result.err;
    EXPECT_TRUE(result.out == origin.body()) << c.option << " got " << result.out.size();
  }
  EXPECT_TRUE(server_.WaitForLog("SOCKS_CONNECT 127.0.0.1"));
}

TEST_F(SocksE2eTest, RefusedHandshakes) {
  const int methods = Connect();
  ASSERT_TRUE(SendBytes(methods, {0x05, 0x02, 0x01, 0x02}));
  EXPECT_EQ(ReadBytes(methods, 2), (Bytes{0x05, 0xFF}));
  EXPECT_TRUE(ClosedByPeer(methods));
  ::close(methods);

  const int other_order = Connect();
  ASSERT_TRUE(SendBytes(other_order, {0x05, 0x02, 0x02, 0x00}));
  EXPECT_EQ(ReadBytes(other_order, 2), (Bytes{0x05, 0x00}));
  ::close(other_order);

  const struct {
    Bytes request;
    uint8_t rep;
  } refused[] = {
      {Concat({{0x05, 0x04, 0x00, 0x01}, Ip("127.0.0.1"), Port(80)}), 7},
      {Concat({{0x05, 0x01, 0x00, 0x04}, Bytes(16, 0), Port(80)}), 8},
      {Concat({{0x05, 0x01, 0x00, 0x03, 18}, Bytes{'n', 'o', '-', 's', 'u', 'c', 'h', '.', 'i',
                                                 'n', 'v', 'a', 'l', 'i', 'd', '.', 'x', 'y'},
               Port(80)}),
       4},
  };
  for (const auto& c : refused) {
    const int fd = Connect();
    Negotiate(fd);
    ASSERT_TRUE(SendBytes(fd, c.request));
    EXPECT_EQ(ReadBytes(fd, 10), (Bytes{5, c.rep, 0, 1, 0, 0, 0, 0, 0, 0})) << int(c.rep);
    EXPECT_TRUE(ClosedByPeer(fd));
    ::close(fd);
  }
  EXPECT_TRUE(server_.WaitForLog("ERR   ClientThreadProc:Invalid request"));
  EXPECT_TRUE(server_.WaitForLog("ERR   ClientThreadProc:Authentication fails"));

  const int version4 = Connect();
  Negotiate(version4);
  ASSERT_TRUE(SendBytes(version4, Concat({{0x04, 0x01, 0x00, 0x01}, Ip("127.0.0.1"), Port(80)})));
  EXPECT_EQ(ReadBytes(version4, 1), Bytes{});
  ::close(version4);
  EXPECT_TRUE(server_.WaitForLog("ERR   CClientSocket::GetSocks5Dest:Bad version"));

  const int cd3 = Connect();
  ASSERT_TRUE(SendBytes(cd3, Concat({{0x04, 0x03}, Port(80), Ip("127.0.0.1"), {0}})));
  EXPECT_EQ(ReadBytes(cd3, 1), Bytes{});
  ::close(cd3);
  EXPECT_TRUE(server_.WaitForLog("ERR   undefined socks command"));

  const int abc = Connect();
  ASSERT_TRUE(SendBytes(abc, {'A', 'B', 'C', '\r', '\n'}));
  EXPECT_TRUE(ClosedByPeer(abc));
  ::close(abc);
  EXPECT_TRUE(server_.WaitForLog(
      "ERR   Wrong socks version or not a SOCKS protocol: 0x41 'B' 'C' 0xd 0xa"));
}

TEST_F(SocksE2eTest, LongUserIdAndRefusedConnect) {
  CTcpEcho echo;
  const int fd = Connect();
  Bytes request = Concat({{0x04, 0x01}, Port(echo.port()), Ip("127.0.0.1")});
  request.insert(request.end(), 300, 'u');
  request.push_back(0);
  ASSERT_TRUE(SendBytes(fd, request));
  const Bytes reply = ReadBytes(fd, 8);
  ASSERT_EQ(reply.size(), 8u);
  EXPECT_EQ(reply[1], 90);
  ASSERT_TRUE(SendBytes(fd, {'o', 'k'}));
  EXPECT_EQ(ReadBytes(fd, 2), (Bytes{'o', 'k'}));
  ::close(fd);

  const uint16_t closed_port = qlm::test::FreeTcpPort("127.0.0.1");
  const int refused = Connect();
  ASSERT_TRUE(SendBytes(refused, Concat({{0x04, 0x01}, Port(closed_port), Ip("127.0.0.1"), {0}})));
  EXPECT_EQ(ReadBytes(refused, 8), Bytes{});
  ::close(refused);
  EXPECT_TRUE(server_.WaitForLog("ERR   CBlockingSocket::"));
}

int ConnectFrom(const char* from, const std::string& to_ip, uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = inet_addr(from);
  ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local));
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = inet_addr(to_ip.c_str());
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof(to)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

TEST_F(SocksE2eTest, BindFromTheNamedHostAndFromAStranger) {
  for (const char* peer_ip : {"127.0.0.75", "127.0.0.76"}) {
    const int fd = Connect();
    Negotiate(fd);
    ASSERT_TRUE(SendBytes(fd, Concat({{0x05, 0x02, 0x00, 0x01}, Ip("127.0.0.75"), Port(0)})));
    const Bytes first = ReadBytes(fd, 10);
    ASSERT_EQ(first.size(), 10u);
    EXPECT_EQ(Bytes(first.begin(), first.begin() + 8), Concat({{5, 0, 0, 1}, Ip("0.0.0.0")}));
    const uint16_t listening = static_cast<uint16_t>(first[8] << 8 | first[9]);
    const int peer = ConnectFrom(peer_ip, server_.Ip(), listening);
    ASSERT_GE(peer, 0);
    const bool right = std::string(peer_ip) == "127.0.0.75";
    EXPECT_EQ(ReadBytes(fd, 10),
              Concat({{5, static_cast<uint8_t>(right ? 0 : 1), 0, 1}, Ip(peer_ip),
                      Port(LocalPort(peer))}));
    if (right) {
      ASSERT_TRUE(SendBytes(peer, {'i', 'n'}));
      EXPECT_EQ(ReadBytes(fd, 2), (Bytes{'i', 'n'}));
    } else {
      EXPECT_TRUE(ClosedByPeer(fd));
    }
    ::close(peer);
    ::close(fd);
  }
  EXPECT_TRUE(server_.WaitForLog("SOCKS_BIND 127.0.0.75"));
  EXPECT_TRUE(server_.WaitForLog("ERR   ClientThreadProc:SOCKS_BIND:Wrong host <"));
}

void SendTo(int udp, const std::string& ip, uint16_t port, const Bytes& bytes) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = inet_addr(ip.c_str());
  ::sendto(udp, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
}

std::string LocalIp(int fd) {
  sockaddr_in a{};
  socklen_t length = sizeof(a);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  return inet_ntoa(a.sin_addr);
}

TEST_F(SocksE2eTest, UdpAssociationRoundTripDropsAndEnd) {
  CUdpEcho echo("127.0.0.77");
  const int fd = Connect();
  const std::string client_ip = LocalIp(fd);
  const int udp = UdpSocket(client_ip.c_str(), 0);
  Negotiate(fd);
  ASSERT_TRUE(SendBytes(fd, Concat({{0x05, 0x03, 0x00, 0x01}, Ip("0.0.0.0"), Port(LocalPort(udp))})));
  const Bytes reply = ReadBytes(fd, 10);
  ASSERT_EQ(reply.size(), 10u);
  EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 8), Concat({{5, 0, 0, 1}, Ip(server_.Ip().c_str())}));
  const uint16_t relay = static_cast<uint16_t>(reply[8] << 8 | reply[9]);
  const Bytes header = Concat({{0, 0, 0, 1}, Ip("127.0.0.77"), Port(echo.port())});

  SendTo(udp, server_.Ip(), relay, Concat({{0, 0, 1, 1}, Ip("127.0.0.77"), Port(echo.port()), {'f'}}));
  SendTo(udp, server_.Ip(), relay, Concat({header, {'r', 't'}}));
  EXPECT_EQ(ReceiveDatagram(udp), Concat({header, {'r', 't'}}));
  EXPECT_EQ(echo.count(), 1) << "the fragment must not have been forwarded";

  const int other = UdpSocket(client_ip.c_str(), 0);
  SendTo(other, server_.Ip(), relay, Concat({header, {'x'}}));
  EXPECT_TRUE(server_.WaitForLog("ERR   receive not matching client IP UDP packet"));
  ::close(other);

  ASSERT_TRUE(SendBytes(fd, Bytes(12, 'c')));
  EXPECT_TRUE(server_.WaitForLog(
      "ERR   receiving 12 bytes from UDP client at the control connection, discard it"));

  const sockaddr_in outward = echo.last_sender();
  const int stranger = UdpSocket("127.0.0.78", 0);
  ::sendto(stranger, "st", 2, 0, reinterpret_cast<const sockaddr*>(&outward), sizeof(outward));
  EXPECT_EQ(ReceiveDatagram(udp),
            Concat({{0, 0, 0, 1}, Ip("127.0.0.78"), Port(LocalPort(stranger)), {'s', 't'}}));
  EXPECT_TRUE(server_.WaitForLog("SOCKS_UDP 127.0.0.78"));

  ::close(fd);
  // Once the association is gone its outward port answers nothing.
  EXPECT_TRUE(WaitUntil([&] {
    return !qlm::test::IsListening(inet_ntoa(outward.sin_addr), ntohs(outward.sin_port), true);
  }));
  ::sendto(stranger, "late", 4, 0, reinterpret_cast<const sockaddr*>(&outward), sizeof(outward));
  EXPECT_EQ(ReceiveDatagram(udp, 200), Bytes{});
  ::close(stranger);
  ::close(udp);
}

}  // namespace
}  // namespace qlm::socks::test
