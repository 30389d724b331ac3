// The FTP proxy session over loopback against a scripted FTP server: the
// dialogue before and after log-on, every reply of the string table, PORT
// rewriting and its refusals, data connections, idle end and the limit.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "engine/connection_limit.h"
#include "ftp_harness.h"
#include "ftp_test_support.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::ftp {
namespace {

using test::CScriptedServer;
using test::ReadLine;
using test::SendText;

constexpr const char* kWelcome =
    "220 OK Connect to proxy server. Log in to remote server by  USER "
    "remote_user_id@remote_server_ip_address\r\n";

FtpProxyConfig Config(uint16_t server_port) {
  FtpProxyConfig config;
  config.timeouts = test::ShortTimeouts();
  config.server_port = server_port;
  return config;
}

class FtpSessionTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (client_ >= 0) {
      ::close(client_);
    }
  }
  // Connects, reads the greeting.
  void Start(const FtpProxyConfig& config) {
    client_ = harness_.Connect(config);
    ASSERT_EQ(ReadLine(client_), kWelcome);
  }
  std::string Command(const std::string& line) {
    EXPECT_TRUE(SendText(client_, line + "\r\n"));
    return ReadLine(client_);
  }

  test::CFtpHarness harness_;
  int client_ = -1;
};

TEST_F(FtpSessionTest, NoopAndListBeforeLogOnAreAnsweredByTheProxy) {
  Start(Config(qlm::test::FreeTcpPort()));
  EXPECT_EQ(Command("NOOP"), "200 Proxy OK. Remote server off line.\r\n");
  EXPECT_EQ(Command("LIST"), "550 Offline, action unavailable\r\n");
  EXPECT_EQ(Command("pasv"), "550 Offline, action unavailable\r\n");
  EXPECT_EQ(Command("quit"), "221 GoodBye From Proxy\r\n");
  EXPECT_TRUE(test::ClosedByPeer(client_));
}

TEST_F(FtpSessionTest, UserWithoutAtIsRefusedAndTheDialogueGoesOn) {
  Start(Config(qlm::test::FreeTcpPort()));
  EXPECT_EQ(Command("USER alice"), "501 Syntax error in parameters or arguments\r\n");
  EXPECT_TRUE(harness_.WaitForLog("ERR", "Ftp client syntax error with USER alice"));
  EXPECT_EQ(Command("NOOP"), "200 Proxy OK. Remote server off line.\r\n");
}

TEST_F(FtpSessionTest, UnreachableServerAnswers451AndLogs) {
  Start(Config(qlm::test::FreeTcpPort()));
  EXPECT_EQ(Command("USER alice@127.0.0.1"),
            "451 Request action fails, local error in processing.\r\n");
  EXPECT_TRUE(harness_.WaitForLog(
      "ERR", "FTP connects to the remote host (127.0.0.1) for the user (alice) failed!"));
  EXPECT_EQ(Command("NOOP"), "200 Proxy OK. Remote server off line.\r\n") << "still logged off";
}

TEST_F(FtpSessionTest, ServerGreetingOtherThanClass2Answers451) {
  CScriptedServer server([](int fd) {
    SendText(fd, "421 too busy\r\n");
    ReadLine(fd);
  });
  Start(Config(server.port()));
  EXPECT_EQ(Command("USER alice@127.0.0.1"),
            "451 Request action fails, local error in processing.\r\n");
}

TEST_F(FtpSessionTest, IdleSessionEndsWith421) {
  FtpProxyConfig config = Config(qlm::test::FreeTcpPort());
  config.timeouts.idle = std::chrono::milliseconds(300);
  Start(config);
  EXPECT_EQ(ReadLine(client_), "421 FTP Proxy Time out. Please login again.\r\n");
  EXPECT_TRUE(test::ClosedByPeer(client_));
}

TEST_F(FtpSessionTest, NoSlotFreeAnswers421AndLogs) {
  engine::CConnectionLimit::Instance().Reset(0);
  client_ = harness_.Connect(Config(qlm::test::FreeTcpPort()));
  EXPECT_EQ(ReadLine(client_), "421 hit maximum connections. Please come back later.\r\n");
  EXPECT_TRUE(test::ClosedByPeer(client_));
  EXPECT_TRUE(harness_.WaitForLog(
      "ERR", "FtpCmdThreadProc:Limited by maximum connections. error in Ftp connection!"));
}

TEST_F(FtpSessionTest, ClientClosingEndsTheSessionQuietly) {
  Start(Config(qlm::test::FreeTcpPort()));
  ::close(client_);
  client_ = -1;
  EXPECT_TRUE(qlm::test::WaitUntil([this] { return harness_.AllEnded(); }));
  EXPECT_TRUE(harness_.Logs("ERR").empty());
}

}  // namespace
}  // namespace qlm::ftp
