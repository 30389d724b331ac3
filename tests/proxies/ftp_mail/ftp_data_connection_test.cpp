// The server connection's data connection: passive to the port the server
// names (always on the server's own address), active through our listener
// with the server connecting from its data port, and the refusals.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "ftp_test_support.h"
#include "proxies/ftp_mail/ftp_client.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::ftp {
namespace {

using test::CScriptedServer;
using test::ReadLine;
using test::SendText;

std::string PasvNumbers(uint16_t port) {
  return "10,0,0,5," + std::to_string(port / 256) + "," + std::to_string(port % 256);
}

TEST(FtpDataConnectionTest, PassiveConnectsToTheServersAddressAndNamedPort) {
  uint16_t data_port = 0;
  const int data_listener = qlm::test::ListenTcp("127.0.0.1", &data_port);
  std::string transfer;
  CScriptedServer server([&](int fd) {
    SendText(fd, "220 hi\r\n");
    ReadLine(fd);  // TYPE I
    SendText(fd, "200 binary\r\n");
    ReadLine(fd);  // PASV
    SendText(fd, "227 Entering Passive Mode (" + PasvNumbers(data_port) + ")\r\n");
    transfer = ReadLine(fd);
    const int data = test::AcceptWithin(data_listener);
    SendText(fd, "150 here it comes\r\n");
    SendText(data, "payload");
    ::close(data);
    ReadLine(fd);
  });
  FTPclient client(test::ShortTimeouts().server);
  client.FtpConnect("127.0.0.1", server.port());
  ASSERT_TRUE(client.SendCommand(""));
  net::CBlockingSocket data;
  ASSERT_TRUE(client.OpenDataConnection("RETR file\r\n", &data));
  EXPECT_EQ(qlm::test::ReadAll(data.Handle()), "payload");
  client.Close();
  ASSERT_TRUE(qlm::test::WaitUntil([&] { return server.Done(); }));
  EXPECT_EQ(transfer, "RETR file\r\n");
  ::close(data_listener);
}

TEST(FtpDataConnectionTest, PassiveReplyWithoutNumbersFails) {
  CScriptedServer server([](int fd) {
    SendText(fd, "220 hi\r\n");
    ReadLine(fd);
    SendText(fd, "200 binary\r\n");
    ReadLine(fd);
    SendText(fd, "227 Entering Passive Mode (10,0,0,300,4,1)\r\n");
    ReadLine(fd);
  });
  FTPclient client(test::ShortTimeouts().server);
  client.FtpConnect("127.0.0.1", server.port());
  ASSERT_TRUE(client.SendCommand(""));
  net::CBlockingSocket data;
  EXPECT_FALSE(client.OpenDataConnection("LIST\r\n", &data));
  EXPECT_FALSE(data.IsOpen());
  client.Close();
}

// The server side of an active transfer: PASV refused, PORT accepted, then
// a connection from `source_port` to the announced listener.
void ActiveServer(int fd, uint16_t source_port, std::string* port_line, bool* connected) {
  SendText(fd, "220 hi\r\n");
  ReadLine(fd);
  SendText(fd, "200 binary\r\n");
  ReadLine(fd);
  SendText(fd, "502 no passive\r\n");
  *port_line = ReadLine(fd);
  SendText(fd, "200 port ok\r\n");
  ReadLine(fd);  // LIST
  SendText(fd, "150 opening\r\n");
  std::string ip;
  uint16_t port = 0;
  if (test::PortNumbers(*port_line, &ip, &port)) {
    const int data = test::ConnectFrom("127.0.0.1", source_port, ip, port);
    *connected = data >= 0;
    if (data >= 0) {
      SendText(data, "listing");
      ::close(data);
    }
  }
  ReadLine(fd);
}

TEST(FtpDataConnectionTest, ActiveAcceptsTheServerFromItsDataPort) {
  std::string port_line;
  bool connected = false;
  CScriptedServer server([&](int fd) { ActiveServer(fd, 20, &port_line, &connected); });
  FTPclient client(test::ShortTimeouts().server);
  client.FtpConnect("127.0.0.1", server.port());
  ASSERT_TRUE(client.SendCommand(""));
  net::CBlockingSocket data;
  ASSERT_TRUE(client.OpenDataConnection("LIST\r\n", &data));
  EXPECT_EQ(qlm::test::ReadAll(data.Handle()), "listing");
  client.Close();
  ASSERT_TRUE(qlm::test::WaitUntil([&] { return server.Done(); }));
  EXPECT_TRUE(connected);
  EXPECT_EQ(port_line.rfind("PORT 127,0,0,1,", 0), 0u) << port_line;
}

TEST(FtpDataConnectionTest, ActiveRefusesAConnectionFromAnotherPort) {
  std::string port_line;
  bool connected = false;
  CScriptedServer server([&](int fd) { ActiveServer(fd, 0, &port_line, &connected); });
  FTPclient client(test::ShortTimeouts().server);
  client.FtpConnect("127.0.0.1", server.port());
  ASSERT_TRUE(client.SendCommand(""));
  net::CBlockingSocket data;
  EXPECT_FALSE(client.OpenDataConnection("LIST\r\n", &data));
  EXPECT_FALSE(data.IsOpen());
  client.Close();
  ASSERT_TRUE(qlm::test::WaitUntil([&] { return server.Done(); }));
  EXPECT_TRUE(connected);
}

TEST(FtpDataConnectionTest, TransferRefusedByTheServerFails) {
  CScriptedServer server([](int fd) {
    SendText(fd, "220 hi\r\n");
    ReadLine(fd);
    SendText(fd, "200 binary\r\n");
    ReadLine(fd);
    SendText(fd, "502 no passive\r\n");
    ReadLine(fd);
    SendText(fd, "200 port ok\r\n");
    ReadLine(fd);
    SendText(fd, "550 no such file\r\n");
    ReadLine(fd);
  });
  FTPclient client(test::ShortTimeouts().server);
  client.FtpConnect("127.0.0.1", server.port());
  ASSERT_TRUE(client.SendCommand(""));
  net::CBlockingSocket data;
  bool cwd_called = false;
  EXPECT_FALSE(client.OpenDataConnection("RETR x\r\n", &data, [&] { return cwd_called = true; }));
  EXPECT_TRUE(cwd_called);
  EXPECT_EQ(client.ReplyLine(), "550 no such file\r\n");
  client.Close();
}

}  // namespace
}  // namespace qlm::ftp
