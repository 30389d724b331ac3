// The FTP proxy after log-on against a scripted FTP server: USER user@host,
// the relayed dialogue, PASV refused, PORT rewritten or refused, data
// connections from the server's data port relayed and others refused.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "ftp_harness.h"
#include "ftp_test_support.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::ftp {
namespace {

using test::CScriptedServer;
using test::ReadLine;
using test::SendText;

FtpProxyConfig Config(uint16_t server_port) {
  FtpProxyConfig config;
  config.timeouts = test::ShortTimeouts();
  config.server_port = server_port;
  return config;
}

std::string PortArgument(uint16_t port) {
  return "127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256);
}

class FtpLogonTest : public ::testing::Test {
 protected:
  // A server that greets, answers USER with 331, then hands over to `rest`.
  void Serve(std::function<void(int fd)> rest) {
    server_ = std::make_unique<CScriptedServer>([this, rest](int fd) {
      SendText(fd, "220-Test server\r\n220 ready\r\n");
      user_line_ = ReadLine(fd);
      SendText(fd, "331 Password required for alice\r\n");
      rest(fd);
    });
    client_ = harness_.Connect(Config(server_->port()));
    ReadLine(client_);  // the proxy's greeting
    ASSERT_TRUE(SendText(client_, "USER alice@127.0.0.1\r\n"));
    ASSERT_EQ(ReadLine(client_), "331 Password required for alice\r\n");
  }
  void TearDown() override {
    if (client_ >= 0) {
      ::close(client_);
    }
    server_.reset();
  }

  test::CFtpHarness harness_;
  std::unique_ptr<CScriptedServer> server_;
  std::string user_line_;
  int client_ = -1;
};

TEST_F(FtpLogonTest, UserAtHostLogsOnAndTheDialogueIsRelayed) {
  std::string pass;
  Serve([&](int fd) {
    pass = ReadLine(fd);
    SendText(fd, "230 Logged on\r\n");
    ReadLine(fd);  // QUIT
    SendText(fd, "221 Bye\r\n");
  });
  EXPECT_EQ(user_line_, "USER alice\r\n");
  ASSERT_TRUE(SendText(client_, "PASS secret\r\n"));
  EXPECT_EQ(ReadLine(client_), "230 Logged on\r\n");
  ASSERT_TRUE(SendText(client_, "PASV\r\n"));
  EXPECT_EQ(ReadLine(client_), "502 Command not implemented\r\n");
  ASSERT_TRUE(SendText(client_, "QUIT\r\n"));
  EXPECT_EQ(ReadLine(client_), "221 Bye\r\n");
  EXPECT_TRUE(test::ClosedByPeer(client_));
  EXPECT_EQ(pass, "PASS secret\r\n");
  const std::string port = std::to_string(server_->port());
  const auto records = harness_.Logs(" ");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].substr(0, 9), "FTP      ");
  EXPECT_NE(records[0].find("127.0.0.1"), std::string::npos);
  const auto activities = harness_.ActivityTexts();
  ASSERT_GE(activities.size(), 2u);
  EXPECT_EQ(activities[0].rfind("Local 127.0.0.1:", 0), 0u);
  EXPECT_NE(activities[0].find(") logins"), std::string::npos);
  EXPECT_NE(activities[1].find("-> Remote 127.0.0.1:" + port + " (127.0.0.1)"),
            std::string::npos);
}

TEST_F(FtpLogonTest, PortIsRewrittenAndTheDataConnectionRelayed) {
  uint16_t data_port = 0;
  const int data_listener = qlm::test::ListenTcp("127.0.0.1", &data_port);
  std::string port_line;
  Serve([&](int fd) {
    port_line = ReadLine(fd);
    SendText(fd, "200 PORT ok\r\n");
    ReadLine(fd);  // RETR
    SendText(fd, "150 Opening\r\n");
    std::string ip;
    uint16_t port = 0;
    if (test::PortNumbers(port_line, &ip, &port)) {
      const int data = test::ConnectFrom("127.0.0.1", 20, ip, port);
      SendText(data, "file contents");
      ::close(data);
    }
    SendText(fd, "226 Done\r\n");
    ReadLine(fd);
  });
  ASSERT_TRUE(SendText(client_, "PORT " + PortArgument(data_port) + "\r\n"));
  EXPECT_EQ(ReadLine(client_), "200 PORT ok\r\n");
  ASSERT_TRUE(SendText(client_, "RETR f\r\n"));
  EXPECT_EQ(ReadLine(client_), "150 Opening\r\n");
  const int data = test::AcceptWithin(data_listener);
  ASSERT_GE(data, 0);
  EXPECT_EQ(qlm::test::ReadAll(data), "file contents");
  EXPECT_EQ(ReadLine(client_), "226 Done\r\n");
  ::close(data);
  ::close(data_listener);
  std::string ip;
  uint16_t port = 0;
  ASSERT_TRUE(test::PortNumbers(port_line, &ip, &port)) << port_line;
  EXPECT_EQ(ip, "127.0.0.1");
  EXPECT_NE(port, data_port) << "the server is sent the proxy's own listener";
  EXPECT_TRUE(qlm::test::WaitUntil([&] {
    for (const std::string& text : harness_.ActivityTexts()) {
      if (text.rfind("Data: Remote 127.0.0.1:20 -> Proxy 127.0.0.1:" + std::to_string(port) +
                         " -> Local 127.0.0.1:" + std::to_string(data_port),
                     0) == 0) {
        return true;
      }
    }
    return false;
  }));
}

TEST_F(FtpLogonTest, DataConnectionFromAnotherPortIsRefusedAndLogged) {
  uint16_t data_port = 0;
  const int data_listener = qlm::test::ListenTcp("127.0.0.1", &data_port);
  uint16_t wrong_port = 0;
  Serve([&](int fd) {
    const std::string port_line = ReadLine(fd);
    SendText(fd, "200 PORT ok\r\n");
    std::string ip;
    uint16_t port = 0;
    if (test::PortNumbers(port_line, &ip, &port)) {
      const int data = test::ConnectFrom("127.0.0.1", 0, ip, port);
      wrong_port = test::LocalPort(data);
      test::ClosedByPeer(data);
      ::close(data);
    }
    SendText(fd, "425 no data\r\n");
    ReadLine(fd);
  });
  ASSERT_TRUE(SendText(client_, "PORT " + PortArgument(data_port) + "\r\n"));
  EXPECT_EQ(ReadLine(client_), "200 PORT ok\r\n");
  EXPECT_EQ(ReadLine(client_), "425 no data\r\n");
  EXPECT_TRUE(harness_.WaitForLog("ERR", "Receiving data connection from other host (127.0.0.1:" +
                                             std::to_string(wrong_port) + ")"));
  ::close(data_listener);
}

TEST_F(FtpLogonTest, PortWithNumberAbove255IsRefused) {
  std::string next;
  Serve([&](int fd) {
    next = ReadLine(fd);
    SendText(fd, "200 NOOP ok\r\n");
  });
  ASSERT_TRUE(SendText(client_, "PORT 127,0,0,300,4,1\r\n"));
  EXPECT_EQ(ReadLine(client_), "501 Syntax error in parameters or arguments\r\n");
  EXPECT_TRUE(harness_.WaitForLog("ERR", "Ftp client syntax error with PORT 127,0,0,300,4,1"));
  ASSERT_TRUE(SendText(client_, "NOOP\r\n"));
  EXPECT_EQ(ReadLine(client_), "200 NOOP ok\r\n");
  ASSERT_TRUE(qlm::test::WaitUntil([&] { return server_->Done(); }));
  EXPECT_EQ(next, "NOOP\r\n") << "the refused PORT never reached the server";
}

TEST_F(FtpLogonTest, PortNamingAnotherAddressIsRefused) {
  std::string next;
  Serve([&](int fd) {
    next = ReadLine(fd);
    SendText(fd, "200 NOOP ok\r\n");
  });
  ASSERT_TRUE(SendText(client_, "PORT 192,168,1,10,19,137\r\n"));
  EXPECT_EQ(ReadLine(client_), "501 Syntax error in parameters or arguments\r\n");
  EXPECT_TRUE(harness_.WaitForLog(
      "ERR", "Ftp client PORT names another host (192.168.1.10) than its own (127.0.0.1)"));
  ASSERT_TRUE(SendText(client_, "NOOP\r\n"));
  EXPECT_EQ(ReadLine(client_), "200 NOOP ok\r\n");
  ASSERT_TRUE(qlm::test::WaitUntil([&] { return server_->Done(); }));
  EXPECT_EQ(next, "NOOP\r\n");
}

TEST_F(FtpLogonTest, ServerClosingEndsTheSession) {
  Serve([](int) {});
  EXPECT_TRUE(test::ClosedByPeer(client_));
  EXPECT_TRUE(qlm::test::WaitUntil([this] { return harness_.AllEnded(); }));
}

}  // namespace
}  // namespace qlm::ftp
