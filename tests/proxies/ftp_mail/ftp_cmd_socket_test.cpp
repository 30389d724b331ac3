// The client's command socket over loopback: lines as typed, Telnet answers
// and echo, failures inside and outside a Telnet command, numbered replies.
#include "proxies/ftp_mail/ftp_cmd_socket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "ftp_test_support.h"
#include "tests/support/loopback.h"

namespace qlm::ftp {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) {
    out.push_back(static_cast<char>(v));
  }
  return out;
}

class FtpCmdSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    uint16_t port = 0;
    const int listener = qlm::test::ListenTcp("127.0.0.1", &port);
    peer_ = qlm::test::ConnectTcp("127.0.0.1", port);
    socket_.Attach(test::AcceptWithin(listener));
    ::close(listener);
  }
  void TearDown() override {
    if (peer_ >= 0) {
      ::close(peer_);
    }
  }
  // What the socket sent back: `count` bytes.
  std::string Received(size_t count) { return test::ReadBytes(peer_, count); }

  static FtpCmdTimeouts Short() {
    return FtpCmdTimeouts{std::chrono::milliseconds(2000), std::chrono::milliseconds(2000),
                          std::chrono::milliseconds(2000)};
  }

  int peer_ = -1;
  CFtpCmdSocket socket_{Short()};
};

TEST_F(FtpCmdSocketTest, StartsWithEchoOffAndSuppressGoAheadOn) {
  EXPECT_FALSE(socket_.Echo());
  EXPECT_TRUE(socket_.SuppressGoAhead());
  socket_.GetPeerName();
  EXPECT_EQ(net::DottedAddress(socket_.PeerAddress().sin_addr), "127.0.0.1");
  EXPECT_EQ(ntohs(socket_.PeerAddress().sin_port), test::LocalPort(peer_));
}

TEST_F(FtpCmdSocketTest, TypedLineWithBackspaceReadsAc) {
  ASSERT_TRUE(test::SendText(peer_, Bytes({'a', 'b', 8, 'c', 13, 10, 'n', 'e', 'x', 't'})));
  std::string line;
  EXPECT_EQ(socket_.ReadCommandLine(&line), 4);
  EXPECT_EQ(line, "ac\r\n");
  char rest[4] = {};
  EXPECT_EQ(::recv(socket_.Handle(), rest, 4, 0), 4) << "the next line stays unread";
}

TEST_F(FtpCmdSocketTest, DoEchoIsAnsweredAndTypedBytesEchoed) {
  ASSERT_TRUE(test::SendText(peer_, Bytes({255, 253, 1, 'o', 'k', 13, 10})));
  std::string line;
  EXPECT_EQ(socket_.ReadCommandLine(&line), 4);
  EXPECT_TRUE(socket_.Echo());
  EXPECT_EQ(Received(7), Bytes({255, 251, 1, 'o', 'k', 13, 10}));
}

TEST_F(FtpCmdSocketTest, DoOtherOptionIsAnsweredWont) {
  ASSERT_TRUE(test::SendText(peer_, Bytes({255, 253, 24, 13, 10})));
  std::string line;
  EXPECT_EQ(socket_.ReadCommandLine(&line), 2);
  EXPECT_EQ(Received(3), Bytes({255, 252, 24}));
}

TEST_F(FtpCmdSocketTest, ClientClosingBeforeTheLineEndGivesZero) {
  ASSERT_TRUE(test::SendText(peer_, "USER x"));
  ::shutdown(peer_, SHUT_WR);
  std::string line;
  EXPECT_EQ(socket_.ReadCommandLine(&line), 0);
}

TEST_F(FtpCmdSocketTest, ClientClosingInsideATelnetCommandThrows) {
  ASSERT_TRUE(test::SendText(peer_, Bytes({255, 253})));
  ::shutdown(peer_, SHUT_WR);
  std::string line;
  try {
    socket_.ReadCommandLine(&line);
    FAIL() << "no exception";
  } catch (const net::CBlockingSocketException& e) {
    EXPECT_EQ(e.Message(), "CFtpCmdSocket::GetFtpCmd:Receive Socket closed");
    EXPECT_EQ(e.OtherErrorCode(), -11);
  }
}

TEST_F(FtpCmdSocketTest, LineTrickledPastTheLineDeadlineGivesZero) {
  CFtpCmdSocket slow(FtpCmdTimeouts{std::chrono::milliseconds(2000),
                                    std::chrono::milliseconds(200),
                                    std::chrono::milliseconds(2000)});
  slow.Attach(socket_.Detach());
  ASSERT_TRUE(test::SendText(peer_, "US"));
  std::string line;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(slow.ReadCommandLine(&line), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
}

TEST_F(FtpCmdSocketTest, ReplyIsTheTableTextWithCrLf) {
  socket_.SendReply(kReplyWelcome);
  socket_.SendReply(kReplyUserCommand, "alice");
  std::string got;
  ASSERT_TRUE(test::ReadUntil(peer_, "USER alice\r\n", &got));
  EXPECT_EQ(got,
            "220 OK Connect to proxy server. Log in to remote server by  USER "
            "remote_user_id@remote_server_ip_address\r\nUSER alice\r\n");
}

TEST_F(FtpCmdSocketTest, OverlongReplyIsCutButKeepsItsLineEnd) {
  socket_.SendReply(kReplyUserCommand, std::string(1000, 'u').c_str());
  std::string got;
  ASSERT_TRUE(test::ReadUntil(peer_, "\r\n", &got));
  EXPECT_EQ(got.size(), 511u);
  EXPECT_EQ(got.substr(509), "\r\n");
}

TEST_F(FtpCmdSocketTest, TelnetCommandIsThreeBytes) {
  socket_.SendTelnetCommand(kWill, kOptionEcho);
  EXPECT_EQ(Received(3), Bytes({255, 251, 1}));
}

}  // namespace
}  // namespace qlm::ftp
