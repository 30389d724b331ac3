// The FTP proxy's dialogue in the real engine, typed by a raw client: what
// the proxy answers before log-on, refusals of USER and PORT, an unreachable
// server, PASV, and a data connection from the wrong port; each with its
// exact reply and log line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/e2e/ftp/ftp_e2e_support.h"
#include "tests/e2e/support/engine_under_test.h"
#include "tests/proxies/ftp_mail/ftp_test_support.h"
#include "tests/support/loopback.h"

namespace qlm::ftp::test {
namespace {

constexpr const char* kWelcome =
    "220 OK Connect to proxy server. Log in to remote server by  USER "
    "remote_user_id@remote_server_ip_address\r\n";
constexpr const char* kSyntax = "501 Syntax error in parameters or arguments\r\n";

class FtpDialogueE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = engine_.AddDaemon("FTP");
    ASSERT_TRUE(engine_.Start());
    client_ = qlm::test::ConnectTcp(engine_.Ip(), port_);
    ASSERT_GE(client_, 0);
    ASSERT_EQ(ReadLine(client_), kWelcome);
  }
  void TearDown() override {
    if (client_ >= 0) {
      ::close(client_);
    }
  }
  std::string Command(const std::string& line) {
    EXPECT_TRUE(SendText(client_, line + "\r\n"));
    return ReadLine(client_);
  }
  // USER and PASS to a real server; its replies as they come.
  void LogOn(const CFtpServerProcess& server) {
    const std::string user = Command(std::string("USER ") + kUser + "@" + server.Address());
    ASSERT_EQ(user.substr(0, 4), "331 ") << user;
    const std::string pass = Command(std::string("PASS ") + kPassword);
    ASSERT_EQ(pass.substr(0, 4), "230 ") << pass;
  }

  qlm::test::EngineUnderTest engine_{"127.0.0.115"};
  uint16_t port_ = 0;
  int client_ = -1;
};

TEST_F(FtpDialogueE2eTest, NoopAndListBeforeLogOnAndQuit) {
  EXPECT_EQ(Command("NOOP"), "200 Proxy OK. Remote server off line.\r\n");
  EXPECT_EQ(Command("LIST"), "550 Offline, action unavailable\r\n");
  EXPECT_EQ(Command("QUIT"), "221 GoodBye From Proxy\r\n");
  EXPECT_TRUE(ClosedByPeer(client_));
}

TEST_F(FtpDialogueE2eTest, UserWithoutAtIsRefused) {
  EXPECT_EQ(Command("USER alice"), kSyntax);
  EXPECT_TRUE(engine_.WaitForLog("ERR   Ftp client syntax error with USER alice"));
  EXPECT_EQ(Command("NOOP"), "200 Proxy OK. Remote server off line.\r\n");
}

TEST_F(FtpDialogueE2eTest, UnreachableServerAnswers451) {
  EXPECT_EQ(Command("USER alice@127.0.0.118"),
            "451 Request action fails, local error in processing.\r\n");
  EXPECT_TRUE(engine_.WaitForLog(
      "ERR   FTP connects to the remote host (127.0.0.118) for the user (alice) failed!"));
}

TEST_F(FtpDialogueE2eTest, PasvAndBadPortsAfterLogOnAreRefused) {
  CFtpServerProcess server("127.0.0.116");
  ASSERT_TRUE(server.Start());
  LogOn(server);
  EXPECT_EQ(Command("PASV"), "502 Command not implemented\r\n");
  EXPECT_EQ(Command("PORT 127,0,0,300,4,1"), kSyntax);
  EXPECT_TRUE(engine_.WaitForLog("ERR   Ftp client syntax error with PORT 127,0,0,300,4,1"));
  EXPECT_EQ(Command("PORT 192,168,1,10,19,137"), kSyntax);
  EXPECT_TRUE(engine_.WaitForLog(
      "ERR   Ftp client PORT names another host (192.168.1.10) than its own (127.0.0.1)"));
  EXPECT_EQ(Command("NOOP").substr(0, 4), "200 ") << "the server still answers";
  EXPECT_TRUE(engine_.WaitForLog("FTP       127.0.0.1"));
}

TEST_F(FtpDialogueE2eTest, DataConnectionFromAnotherPortIsRefusedAndLogged) {
  CFtpServerProcess server("127.0.0.117", 0);
  ASSERT_TRUE(server.Start());
  LogOn(server);
  uint16_t data_port = 0;
  const int data_listener = qlm::test::ListenTcp("127.0.0.1", &data_port);
  const std::string port = "PORT 127,0,0,1," + std::to_string(data_port / 256) + "," +
                           std::to_string(data_port % 256);
  EXPECT_EQ(Command(port).substr(0, 4), "200 ");
  EXPECT_TRUE(SendText(client_, "NLST\r\n"));
  EXPECT_TRUE(engine_.WaitForLog("ERR   Receiving data connection from other host (127.0.0.117:"));
  ::close(data_listener);
}

}  // namespace
}  // namespace qlm::ftp::test
