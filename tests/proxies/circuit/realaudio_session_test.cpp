// RealAudioThreadProc over loopback with a scripted player and media server:
// the dialog's answers, the server connection, the relay of the control
// stream, the datagram channels and every ending.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <optional>

#include "engine/connection_limit.h"
#include "net/blocking_socket.h"
#include "net/shutdown_socket.h"
#include "proxies/circuit/realaudio_wire.h"
#include "tests/proxies/circuit/realaudio_test_support.h"
#include "tests/support/fake_servers.h"
#include "tests/support/loopback.h"
#include "tests/support/scoped_fd.h"
#include "tests/support/wait_until.h"

namespace qlm::circuit::test {
namespace {

using qlm::test::CScopedFd;
using qlm::test::WaitUntil;

const std::string kVersion("\x00\x02\x01\x01", 4);
const std::string kSuccess = Status(0, "Success to connect to remote server");

class RealAudioSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { server_.Reset(qlm::test::ListenTcp("127.0.0.1", &server_port_)); }

  // A player that has read the version frame.
  CScopedFd Player(const RealAudioTimeouts& timeouts = ShortTimeouts()) {
    CScopedFd player(harness_.Connect(timeouts));
    EXPECT_EQ(ReadExactly(player.Get(), 4), kVersion);
    return player;
  }
  // The dialog up to status 0 and the server's accepted connection.
  CScopedFd Dialled(int player, bool tcp_only) {
    EXPECT_TRUE(SendText(player, Dialog("127.0.0.1", server_port_, tcp_only)));
    CScopedFd server(AcceptWithin(server_.Get()));
    EXPECT_EQ(ReadExactly(player, kSuccess.size()), kSuccess);
    return server;
  }
  bool Ended() { return WaitUntil([this] { return harness_.AllEnded(); }); }
  bool HasErr(const std::string& text) {
    return WaitUntil([&] { return harness_.Log().HasLine("ERR", text); });
  }

  CRealAudioHarness harness_;
  CScopedFd server_;
  uint16_t server_port_ = 0;
};

TEST_F(RealAudioSessionTest, VersionTwoGetsStatus3AndTheConnectionCloses) {
  CScopedFd player = Player();
  ASSERT_TRUE(SendText(player.Get(), std::string("\x00\x02\x01\x02", 4)));
  EXPECT_EQ(ReadExactly(player.Get(), 66),
            Status(3, "Bad Version, the RealAudio Proxy version number does not match"));
  EXPECT_TRUE(ClosedByPeer(player.Get()));
  EXPECT_TRUE(HasErr(
      "RealAudioThreadProc:Bad RealAudio Version in RealAudio connection, connection closed"));
}

TEST_F(RealAudioSessionTest, PortOfThreeBytesGetsStatus2) {
  CScopedFd player = Player();
  ASSERT_TRUE(SendText(player.Get(), Frame(1, "\x01") + Frame(3, "abc")));
  EXPECT_EQ(ReadExactly(player.Get(), 52),
            Status(2, "Bad Information was received in the proxy dialog"));
  EXPECT_TRUE(ClosedByPeer(player.Get()));
  EXPECT_TRUE(HasErr("RealAudioSocket::ProxySetup:Bad Information was received in the proxy "
                     "dialog in RealAudio connection, connection closed"));
}

TEST_F(RealAudioSessionTest, OpcodeNineGetsStatus4) {
  CScopedFd player = Player();
  ASSERT_TRUE(SendText(player.Get(), Frame(1, "\x01") + Frame(9, "zz")));
  EXPECT_EQ(ReadExactly(player.Get(), 51),
            Status(4, "Invalid Opcode was received in the proxy dialog"));
  EXPECT_TRUE(HasErr("RealAudioSocket::ProxySetup:Invalid Opcode was received in the proxy "
                     "dialog in RealAudio connection, connection closed"));
}

// A host frame one byte over the limit is refused as bad information, never
// read into an unbounded buffer.
TEST_F(RealAudioSessionTest, HostOverTheLimitGetsStatus2) {
  CScopedFd player = Player();
  ASSERT_TRUE(SendText(player.Get(), Frame(1, "\x01") + Frame(2, std::string(256, 'h'))));
  EXPECT_EQ(ReadExactly(player.Get(), 52),
            Status(2, "Bad Information was received in the proxy dialog"));
}

TEST_F(RealAudioSessionTest, NoSlotGetsStatus1Limited) {
  engine::CConnectionLimit::Instance().Reset(0);
  CScopedFd player = Player();
  EXPECT_EQ(ReadExactly(player.Get(), 34), Status(1, "Limited by maximum connections"));
  EXPECT_TRUE(HasErr("RealAudioThreadProc:Limited by maximum connections. in RealAudio "
                     "connection, connection closed"));
}

TEST_F(RealAudioSessionTest, RefusedConnectGetsStatus1AndTwoErrLines) {
  const uint16_t closed_port = qlm::test::FreeTcpPort("127.0.0.1");
  CScopedFd player = Player();
  ASSERT_TRUE(SendText(player.Get(), Dialog("127.0.0.1", closed_port, true)));
  EXPECT_EQ(ReadExactly(player.Get(), 53),
            Status(1, "No Connect, could not connect to RealAudio Server"));
  EXPECT_TRUE(HasErr("RealAudio player failed to connect to the remote server 127.0.0.1"));
  EXPECT_TRUE(WaitUntil([&] {
    return harness_.Log().HasLineContaining("ERR", "(#10061): Connection refused") &&
           harness_.Log().HasLineContaining("ERR", " in RealAudio connection, connection closed");
  }));
}

TEST_F(RealAudioSessionTest, TcpOnlyRelaysTheControlStreamBothWays) {
  CScopedFd player = Player();
  CScopedFd server = Dialled(player.Get(), true);
  ASSERT_TRUE(SendText(player.Get(), "from the player"));
  EXPECT_EQ(ReadExactly(server.Get(), 15), "from the player");
  ASSERT_TRUE(SendText(server.Get(), "from the server"));
  EXPECT_EQ(ReadExactly(player.Get(), 15), "from the server");
  server.Reset();
  EXPECT_TRUE(ClosedByPeer(player.Get()));
  EXPECT_TRUE(Ended());
  EXPECT_TRUE(harness_.Log().HasLineStartingWith(" ", "RealAudio "));
}

// A host name resolves to an address record without a port; the port of
// the dialog must survive it.
TEST_F(RealAudioSessionTest, HostNameKeepsTheDialogsPort) {
  CScopedFd player = Player();
  ASSERT_TRUE(SendText(player.Get(), Dialog("localhost", server_port_, true)));
  CScopedFd server(AcceptWithin(server_.Get()));
  ASSERT_TRUE(server.Valid());
  EXPECT_EQ(ReadExactly(player.Get(), kSuccess.size()), kSuccess);
}

TEST_F(RealAudioSessionTest, BadHelloEndsTheConnection) {
  CScopedFd player = Player();
  CScopedFd server = Dialled(player.Get(), false);
  ASSERT_TRUE(SendText(player.Get(), "XYZ"));
  EXPECT_TRUE(HasErr("RealAudioSocket::ProxyUdpSetup:Bad Hello Message was received in "
                     "RealAudio connection, connection closed"));
}

TEST_F(RealAudioSessionTest, TagOverTheLimitIsABadMessageSize) {
  CScopedFd player = Player();
  CScopedFd server = Dialled(player.Get(), false);
  ASSERT_TRUE(SendText(player.Get(), std::string("PNA") + Net16(10) + Net16(3) + Net16(2049)));
  EXPECT_TRUE(HasErr("RealAudioSocket::ProxyUdpSetup:Bad Message Size in RealAudio "
                     "connection, connection closed"));
}

TEST_F(RealAudioSessionTest, DatagramsRunThroughTheRewrittenPorts) {
  CScopedFd data(qlm::test::UdpSocket("127.0.0.1", 0));
  CScopedFd resend(qlm::test::UdpSocket("127.0.0.1", 0));
  CScopedFd server_resend(qlm::test::UdpSocket("127.0.0.1", 0));
  CScopedFd server_data(qlm::test::UdpSocket("127.0.0.1", 0));
  CScopedFd stranger(qlm::test::UdpSocket("127.0.0.2", 0));
  CScopedFd player = Player();
  CScopedFd server = Dialled(player.Get(), false);
  const uint16_t data_port = qlm::test::LocalPort(data.Get());
  ASSERT_TRUE(SendText(player.Get(), PlayerOpening(data_port, qlm::test::LocalPort(resend.Get()))));
  // The server sees the opening with the proxy's own ports in place.
  const std::string head = OpeningHead();
  ASSERT_EQ(ReadExactly(server.Get(), head.size()), head);
  ASSERT_EQ(ReadExactly(server.Get(), 4), Net16(1) + Net16(2));
  const uint16_t b_port = PortIn(ReadExactly(server.Get(), 2));
  ASSERT_EQ(ReadExactly(server.Get(), 4), Net16(7) + Net16(2));
  const uint16_t c_port = PortIn(ReadExactly(server.Get(), 2));
  ASSERT_EQ(ReadExactly(server.Get(), 2), Net16(0));
  EXPECT_NE(b_port, data_port);
  EXPECT_NE(c_port, 0);
  // The server's answer reaches the player with the proxy's resend port.
  ASSERT_TRUE(SendText(server.Get(), ServerAnswer(qlm::test::LocalPort(server_resend.Get()))));
  const std::string answer = ReadExactly(player.Get(), kAnswerHeadSize + 2);
  ASSERT_EQ(answer.substr(0, kAnswerHeadSize), ServerAnswer(0).substr(0, kAnswerHeadSize));
  const uint16_t d_port = PortIn(answer.substr(kAnswerHeadSize));
  // Data: server to B, out of A to the player's data port.
  ASSERT_TRUE(SendDatagramTo(server_data.Get(), "audio-1", "127.0.0.1", b_port));
  const std::vector<uint8_t> got = qlm::test::ReceiveDatagram(data.Get());
  EXPECT_EQ(std::string(got.begin(), got.end()), "audio-1");
  // A stranger's datagram is dropped with its ERR line.
  ASSERT_TRUE(SendDatagramTo(stranger.Get(), "noise", "127.0.0.1", b_port));
  EXPECT_TRUE(HasErr("Receiving Udp packet from unknown RealAudio Server (127.0.0.2). Ignore"));
  // Resend: player to D, out of C to the server's resend port.
  ASSERT_TRUE(SendDatagramTo(resend.Get(), "resend 7", "127.0.0.1", d_port));
  const std::vector<uint8_t> request = qlm::test::ReceiveDatagram(server_resend.Get());
  EXPECT_EQ(std::string(request.begin(), request.end()), "resend 7");
  // The rest of the stream is relayed unchanged.
  ASSERT_TRUE(SendText(server.Get(), "stream"));
  EXPECT_EQ(ReadExactly(player.Get(), 6), "stream");
  player.Reset();
  EXPECT_TRUE(ClosedByPeer(server.Get()));
  EXPECT_TRUE(Ended());
  // One row per channel, each ended at the end with the main row.
  const std::string name = net::CBlockingSocket::LookupHostName(net::MakeAddress("127.0.0.1", 0));
  const std::string data_row = "UDP 127.0.0.1:" + std::to_string(data_port) + " (" + name +
                               ") <- Proxy 127.0.0.1:" + std::to_string(b_port) +
                               " <- Remote 127.0.0.1 (127.0.0.1)";
  const std::string resend_row =
      "UDP 127.0.0.1:" + std::to_string(qlm::test::LocalPort(resend.Get())) + " (" + name +
      ") -> Proxy 127.0.0.1:" + std::to_string(d_port) + ":" + std::to_string(c_port) +
      " -> Remote 127.0.0.1:" + std::to_string(qlm::test::LocalPort(server_resend.Get())) +
      " (127.0.0.1)";
  std::map<std::string, std::vector<std::optional<std::string>>> rows;
  for (const qlm::test::ActivityCall& call : harness_.Log().Activities()) {
    rows[call.connection.substr(call.connection.size() - 1)].push_back(call.text);
  }
  EXPECT_EQ(rows["1"], (std::vector<std::optional<std::string>>{data_row, std::nullopt}));
  EXPECT_EQ(rows["2"], (std::vector<std::optional<std::string>>{resend_row, std::nullopt}));
  ASSERT_EQ(rows["0"].size(), 2u);
  EXPECT_EQ(rows["0"][1], std::nullopt);
}

TEST_F(RealAudioSessionTest, IdleConnectionTimesOut) {
  RealAudioTimeouts timeouts = ShortTimeouts();
  timeouts.relay_idle = std::chrono::milliseconds(200);
  CScopedFd player = Player(timeouts);
  CScopedFd server = Dialled(player.Get(), true);
  EXPECT_TRUE(HasErr(
      "RealAudioThreadProc:RealAudio player timed out in RealAudio connection, connection closed"));
  EXPECT_TRUE(ClosedByPeer(player.Get()));
}

TEST_F(RealAudioSessionTest, EngineStopEndsTheRelay) {
  CScopedFd player = Player();
  CScopedFd server = Dialled(player.Get(), true);
  net::CShutdownSocket::Instance().Close();
  EXPECT_TRUE(ClosedByPeer(player.Get()));
  EXPECT_TRUE(Ended());
  net::CShutdownSocket::Instance().ResetForTest();
}

}  // namespace
}  // namespace qlm::circuit::test
