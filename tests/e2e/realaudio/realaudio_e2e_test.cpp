// The RealAudio proxy as a process: a scripted player on 127.0.0.133 names a
// scripted media server on 127.0.0.132 to the engine on 127.0.0.131; every
// check reads the peers' bytes and datagrams and the engine's log file.
#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "tests/e2e/support/engine_under_test.h"
#include "tests/proxies/circuit/realaudio_test_support.h"
#include "tests/support/fake_servers.h"
#include "tests/support/loopback.h"
#include "tests/support/scoped_fd.h"
#include "tests/support/wait_until.h"

namespace qlm::circuit::test {
namespace {

using qlm::test::CScopedFd;
using qlm::test::EngineUnderTest;
using qlm::test::WaitUntil;

constexpr const char* kEngineIp = "127.0.0.131";
constexpr const char* kServerIp = "127.0.0.132";
constexpr const char* kPlayerIp = "127.0.0.133";
constexpr const char* kStrangerIp = "127.0.0.134";
const std::string kVersion("\x00\x02\x01\x01", 4);
const std::string kSuccess = Status(0, "Success to connect to remote server");
const std::string kNoConnect = Status(1, "No Connect, could not connect to RealAudio Server");

// The UDP sockets the process holds: its socket descriptors whose inodes
// its network namespace lists as UDP.
size_t UdpSocketsOf(int pid) {
  std::set<std::string> inodes;
  std::ifstream udp("/proc/" + std::to_string(pid) + "/net/udp");
  std::string line;
  std::getline(udp, line);  // header
  while (std::getline(udp, line)) {
    std::istringstream fields(line);
    std::string field;
    for (int i = 0; i < 10 && fields >> field; ++i) {
    }
    inodes.insert(field);
  }
  size_t count = 0;
  const std::string fd_dir = "/proc/" + std::to_string(pid) + "/fd";
  DIR* dir = opendir(fd_dir.c_str());
  if (dir == nullptr) {
    return 0;
  }
  while (dirent* entry = readdir(dir)) {
    char target[128] = {};
    const std::string link = fd_dir + "/" + entry->d_name;
    if (readlink(link.c_str(), target, sizeof(target) - 1) > 0) {
      const std::string text = target;
      if (text.rfind("socket:[", 0) == 0 &&
          inodes.count(text.substr(8, text.size() - 9)) != 0) {
        ++count;
      }
    }
  }
  closedir(dir);
  return count;
}

class RealAudioE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = engine_.AddDaemon("RealAudio");
    ASSERT_TRUE(engine_.Start());
    server_.Reset(qlm::test::ListenTcp(kServerIp, &server_port_));
  }
  CScopedFd Player() {
    CScopedFd player(ConnectFrom(kPlayerIp, kEngineIp, port_));
    EXPECT_EQ(ReadExactly(player.Get(), 4), kVersion);
    return player;
  }
  CScopedFd Dialled(int player, bool tcp_only) {
    EXPECT_TRUE(SendText(player, Dialog(kServerIp, server_port_, tcp_only)));
    CScopedFd server(AcceptWithin(server_.Get()));
    EXPECT_EQ(ReadExactly(player, kSuccess.size()), kSuccess);
    return server;
  }
  size_t EngineUdpSockets() { return UdpSocketsOf(engine_.Process().Pid()); }

  EngineUnderTest engine_{kEngineIp};
  uint16_t port_ = 0;
  CScopedFd server_;
  uint16_t server_port_ = 0;
};

TEST_F(RealAudioE2eTest, TcpOnlyRelaysTheControlStreamWithoutADatagramSocket) {
  CScopedFd player = Player();
  CScopedFd server = Dialled(player.Get(), true);
  ASSERT_TRUE(SendText(player.Get(), "PNA but relayed as it is"));
  EXPECT_EQ(ReadExactly(server.Get(), 24), "PNA but relayed as it is");
  ASSERT_TRUE(SendText(server.Get(), "server bytes"));
  EXPECT_EQ(ReadExactly(player.Get(), 12), "server bytes");
  EXPECT_EQ(EngineUdpSockets(), 0u);
  EXPECT_TRUE(engine_.WaitForLog("RealAudio " + std::string(kPlayerIp)));
  EXPECT_EQ(engine_.CountLog(std::string(kServerIp) + "  "), 1u);
  server.Reset();
  EXPECT_TRUE(ClosedByPeer(player.Get()));
}

TEST_F(RealAudioE2eTest, DataReachesThePlayerAndResendRequestsReachTheServer) {
  CScopedFd data(qlm::test::UdpSocket(kPlayerIp, 0));
  CScopedFd resend(qlm::test::UdpSocket(kPlayerIp, 0));
  CScopedFd server_data(qlm::test::UdpSocket(kServerIp, 0));
  CScopedFd server_resend(qlm::test::UdpSocket(kServerIp, 0));
  CScopedFd stranger(qlm::test::UdpSocket(kStrangerIp, 0));
  CScopedFd player = Player();
  CScopedFd server = Dialled(player.Get(), false);
  ASSERT_TRUE(SendText(player.Get(), PlayerOpening(qlm::test::LocalPort(data.Get()),
                                                   qlm::test::LocalPort(resend.Get()))));
  ASSERT_EQ(ReadExactly(server.Get(), OpeningHead().size() + 4), OpeningHead() + Net16(1) + Net16(2));
  const uint16_t b_port = PortIn(ReadExactly(server.Get(), 2));
  ASSERT_EQ(ReadExactly(server.Get(), 4), Net16(7) + Net16(2));
  const uint16_t c_port = PortIn(ReadExactly(server.Get(), 2));
  ASSERT_EQ(ReadExactly(server.Get(), 2), Net16(0));
  EXPECT_NE(b_port, qlm::test::LocalPort(data.Get()));
  EXPECT_NE(c_port, qlm::test::LocalPort(resend.Get()));
  // The proxy's server-side address is where the server's data goes.
  sockaddr_in proxy{};
  socklen_t length = sizeof(proxy);
  ASSERT_EQ(getpeername(server.Get(), reinterpret_cast<sockaddr*>(&proxy), &length), 0);
  char proxy_ip[32];
  inet_ntop(AF_INET, &proxy.sin_addr, proxy_ip, sizeof(proxy_ip));

  ASSERT_TRUE(SendText(server.Get(), ServerAnswer(qlm::test::LocalPort(server_resend.Get()))));
  const std::string answer = ReadExactly(player.Get(), kAnswerHeadSize + 2);
  ASSERT_EQ(answer.substr(0, kAnswerHeadSize), ServerAnswer(0).substr(0, kAnswerHeadSize));
  const uint16_t d_port = PortIn(answer.substr(kAnswerHeadSize));
  EXPECT_TRUE(WaitUntil([&] { return EngineUdpSockets() == 4; }));

  ASSERT_TRUE(SendDatagramTo(server_data.Get(), "audio frame 1", proxy_ip, b_port));
  const std::vector<uint8_t> got = qlm::test::ReceiveDatagram(data.Get());
  EXPECT_EQ(std::string(got.begin(), got.end()), "audio frame 1");
  ASSERT_TRUE(SendDatagramTo(resend.Get(), "resend 17", kEngineIp, d_port));
  const std::vector<uint8_t> request = qlm::test::ReceiveDatagram(server_resend.Get());
  EXPECT_EQ(std::string(request.begin(), request.end()), "resend 17");
  ASSERT_TRUE(SendDatagramTo(stranger.Get(), "noise", proxy_ip, b_port));
  EXPECT_TRUE(engine_.WaitForLog(
      "ERR   Receiving Udp packet from unknown RealAudio Server (127.0.0.134). Ignore"));

  ASSERT_TRUE(SendText(player.Get(), "control up"));
  EXPECT_EQ(ReadExactly(server.Get(), 10), "control up");
  ASSERT_TRUE(SendText(server.Get(), "control down"));
  EXPECT_EQ(ReadExactly(player.Get(), 12), "control down");
  player.Reset();
  EXPECT_TRUE(ClosedByPeer(server.Get()));
  EXPECT_TRUE(WaitUntil([&] { return EngineUdpSockets() == 0; }));
}

TEST_F(RealAudioE2eTest, UnresolvableServerGetsStatus1AndTheErrLine) {
  CScopedFd player = Player();
  ASSERT_TRUE(SendText(player.Get(), Dialog("no-such-media-host.invalid", 7070, false)));
  EXPECT_EQ(ReadExactly(player.Get(), kNoConnect.size()), kNoConnect);
  EXPECT_TRUE(ClosedByPeer(player.Get()));
  EXPECT_TRUE(engine_.WaitForLog(
      "ERR   RealAudioThreadProc:RealAudio player connects to a unresolved remote server "
      "no-such-media-host.invalid in RealAudio connection, connection closed"));
}

TEST_F(RealAudioE2eTest, RefusedConnectGetsStatus1AndTheErrLines) {
  const uint16_t closed = qlm::test::FreeTcpPort(kServerIp);
  CScopedFd player = Player();
  ASSERT_TRUE(SendText(player.Get(), Dialog(kServerIp, closed, false)));
  EXPECT_EQ(ReadExactly(player.Get(), kNoConnect.size()), kNoConnect);
  EXPECT_TRUE(ClosedByPeer(player.Get()));
  EXPECT_TRUE(engine_.WaitForLog(
      "ERR   RealAudio player failed to connect to the remote server 127.0.0.132"));
  EXPECT_TRUE(engine_.WaitForLog(
      "ERR   CBlockingSocket::ConnectNonBlock:socket error 10061 error (#10061): Connection "
      "refused in RealAudio connection, connection closed"));
}

TEST_F(RealAudioE2eTest, BadVersionGetsStatus3) {
  CScopedFd player = Player();
  ASSERT_TRUE(SendText(player.Get(), std::string("\x00\x02\x01\x02", 4)));
  EXPECT_EQ(ReadExactly(player.Get(), 66),
            Status(3, "Bad Version, the RealAudio Proxy version number does not match"));
  EXPECT_TRUE(ClosedByPeer(player.Get()));
}

TEST_F(RealAudioE2eTest, EngineStopEndsALiveSessionPromptly) {
  CScopedFd player = Player();
  CScopedFd server = Dialled(player.Get(), true);
  ASSERT_TRUE(SendText(player.Get(), "live"));
  ASSERT_EQ(ReadExactly(server.Get(), 4), "live");
  ::kill(engine_.Process().Pid(), SIGTERM);
  // The relay's wait takes the stop wake-up: both peers see the close well
  // before the engine's own exit pause is over.
  EXPECT_TRUE(ClosedByPeer(player.Get(), 1400));
  EXPECT_TRUE(ClosedByPeer(server.Get(), 1400));
  EXPECT_EQ(engine_.Stop(), std::optional<int>(0));
}

}  // namespace
}  // namespace qlm::circuit::test
