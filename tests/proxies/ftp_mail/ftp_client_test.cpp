// The server connection against a scripted FTP server on loopback: connect,
// replies, log-on, CWD, passive and active data connections, QUIT.
#include "proxies/ftp_mail/ftp_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "ftp_test_support.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::ftp {
namespace {

using test::CScriptedServer;
using test::ReadLine;
using test::SendText;

FtpClientTimeouts Short() { return test::ShortTimeouts().server; }

TEST(FTPclientTest, UnresolvableHostThrowsItsText) {
  FTPclient client(Short());
  try {
    client.FtpConnect("", 21);
    FAIL() << "no exception";
  } catch (const net::CBlockingSocketException& e) {
    EXPECT_EQ(e.Message(), "FTPclient::FtpConnect:Remote Host is not resolved!");
  }
  EXPECT_FALSE(client.IsOpen());
}

TEST(FTPclientTest, RefusedConnectClosesAndThrows) {
  FTPclient client(Short());
  const uint16_t port = qlm::test::FreeTcpPort();
  EXPECT_THROW(client.FtpConnect("127.0.0.1", port), net::CBlockingSocketException);
  EXPECT_FALSE(client.IsOpen());
}

TEST(FTPclientTest, MultiLineGreetingIsReadToItsLastLineAndCountsAsClass2) {
  CScriptedServer server([](int fd) {
    SendText(fd, "220-Welcome\r\n220-to the test\r\n220 ready\r\n");
    ReadLine(fd);
  });
  FTPclient client(Short());
  client.FtpConnect("127.0.0.1", server.port());
  EXPECT_EQ(ntohs(client.ServerAddress().sin_port), server.port());
  EXPECT_EQ(net::DottedAddress(client.LocalAddress().sin_addr), "127.0.0.1");
  EXPECT_TRUE(client.SendCommand(""));
  EXPECT_EQ(client.ReplyClass(), 2);
  EXPECT_EQ(client.ReplyLine(), "220 ready\r\n");
  client.Close();
}

TEST(FTPclientTest, ServerAnsweringUserWith230LogsOnWithoutPass) {
  std::string user;
  CScriptedServer server([&](int fd) {
    SendText(fd, "220 hi\r\n");
    user = ReadLine(fd);
    SendText(fd, "230 in\r\n");
    ReadLine(fd);
  });
  FTPclient client(Short());
  EXPECT_TRUE(client.FtpLogin("127.0.0.1", server.port()));
  client.Close();
  ASSERT_TRUE(qlm::test::WaitUntil([&] { return server.Done(); }));
  EXPECT_EQ(user, "USER anonymous\r\n");
}

TEST(FTPclientTest, UserAndPasswordAreSentAndPass332FailsTheLogOn) {
  std::string pass;
  CScriptedServer server([&](int fd) {
    SendText(fd, "220 hi\r\n");
    ReadLine(fd);
    SendText(fd, "331 password\r\n");
    pass = ReadLine(fd);
    SendText(fd, "332 account\r\n");
    ReadLine(fd);
  });
  FTPclient client("bob", "secret", Short());
  EXPECT_FALSE(client.FtpLogin("127.0.0.1", server.port()));
  EXPECT_EQ(client.ReplyLine(), "332 account\r\n");
  client.Close();
  ASSERT_TRUE(qlm::test::WaitUntil([&] { return server.Done(); }));
  EXPECT_EQ(pass, "PASS secret\r\n");
}

TEST(FTPclientTest, GreetingOfClass4FailsTheLogOnAndCloses) {
  CScriptedServer server([](int fd) {
    SendText(fd, "421 busy\r\n");
    ReadLine(fd);
  });
  FTPclient client(Short());
  EXPECT_FALSE(client.FtpLogin("127.0.0.1", server.port()));
  EXPECT_FALSE(client.IsOpen());
}

TEST(FTPclientTest, CwdPathFallsBackToOneComponentAtATime) {
  std::vector<std::string> seen;
  CScriptedServer server([&](int fd) {
    SendText(fd, "220 hi\r\n");
    seen.push_back(ReadLine(fd));
    SendText(fd, "550 no\r\n");
    seen.push_back(ReadLine(fd));
    SendText(fd, "250 ok\r\n");
    seen.push_back(ReadLine(fd));
    SendText(fd, "250 ok\r\n");
    ReadLine(fd);
  });
  FTPclient client(Short());
  client.FtpConnect("127.0.0.1", server.port());
  ASSERT_TRUE(client.SendCommand(""));
  EXPECT_TRUE(client.CwdPath("/pub/linux"));
  client.Close();
  ASSERT_TRUE(qlm::test::WaitUntil([&] { return server.Done(); }));
  EXPECT_EQ(seen, (std::vector<std::string>{"CWD pub/linux\r\n", "CWD pub\r\n", "CWD linux\r\n"}));
}

TEST(FTPclientTest, ReplyLineTooLongForTheCallerIsNotConsumed) {
  CScriptedServer server([](int fd) {
    SendText(fd, "220 a rather long line\r\n");
    ReadLine(fd);
  });
  FTPclient client(Short());
  client.FtpConnect("127.0.0.1", server.port());
  std::string line;
  EXPECT_FALSE(client.ReadReplyLine(&line, 10, std::chrono::milliseconds(2000)));
  EXPECT_TRUE(client.ReadReplyLine(&line, 1024, std::chrono::milliseconds(2000)));
  EXPECT_EQ(line, "220 a rather long line\r\n");
  client.Close();
}

TEST(FTPclientTest, ReceiveBufferStopsAt32768BytesWithoutLf) {
  CScriptedServer server([](int fd) {
    SendText(fd, std::string(32769, 'x'));
    ReadLine(fd);
  });
  FTPclient client(Short());
  client.FtpConnect("127.0.0.1", server.port());
  std::string line;
  EXPECT_FALSE(client.ReadReplyLine(&line, 100000, std::chrono::milliseconds(2000)));
  client.Close();
}

TEST(FTPclientTest, ServerClosingMidReplyFailsAndClosesTheSocket) {
  CScriptedServer server([](int fd) { SendText(fd, "220-first\r\n"); });
  FTPclient client(Short());
  client.FtpConnect("127.0.0.1", server.port());
  EXPECT_FALSE(client.GetReply());
  EXPECT_FALSE(client.IsOpen());
}

TEST(FTPclientTest, QuitSendsQuitAndShutsDown) {
  std::string quit;
  CScriptedServer server([&](int fd) {
    SendText(fd, "220 hi\r\n");
    quit = ReadLine(fd);
  });
  FTPclient client(Short());
  client.FtpConnect("127.0.0.1", server.port());
  client.Quit();
  ASSERT_TRUE(qlm::test::WaitUntil([&] { return server.Done(); }));
  EXPECT_EQ(quit, "QUIT\r\n");
}

}  // namespace
}  // namespace qlm::ftp
