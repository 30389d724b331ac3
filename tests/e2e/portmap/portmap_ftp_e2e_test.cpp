// The FTP-aware mapping in the real engine, between python3's ftplib and a
// real FTP server behind it: files both ways in active mode, PASV and bad
// PORTs refused, a data connection from the wrong port refused with its
// record, and an engine stop ending an open session at once.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "tests/e2e/ftp/ftp_e2e_support.h"
#include "tests/e2e/portmap/portmap_e2e_support.h"
#include "tests/e2e/support/engine_under_test.h"
#include "tests/proxies/ftp_mail/ftp_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::ftp::test {
namespace {

constexpr const char* kSyntax = "501 Syntax error in parameters or arguments\r\n";

class PortMapFtpE2eTest : public ::testing::Test {
 protected:
  // The server on its own address (port 21); the mapping on the engine's.
  void Start(const std::string& server_address, uint16_t data_port = 20) {
    server_ = std::make_unique<CFtpServerProcess>(server_address, data_port);
    ASSERT_TRUE(server_->Start());
    port_ = engine_.FreeTcpPort();
    engine_.AddStoreText(qlm::test::PortMapStoreText(
        {.name = "ftpin", .listen = engine_.Ip() + ":" + std::to_string(port_),
         .remote_server = server_address, .remote_port = 21, .rule = "FTP"}));
    ASSERT_TRUE(engine_.Start());
    ASSERT_TRUE(qlm::test::WaitUntil([&] { return qlm::test::IsListening(engine_.Ip(), port_); }));
  }
  // A raw control connection through the mapping, logged on.
  int LoggedOn() {
    const int fd = qlm::test::ConnectTcp(engine_.Ip(), port_);
    EXPECT_EQ(ReadLine(fd).substr(0, 4), "220 ");
    SendText(fd, std::string("USER ") + kUser + "\r\n");
    EXPECT_EQ(ReadLine(fd).substr(0, 4), "331 ");
    SendText(fd, std::string("PASS ") + kPassword + "\r\n");
    EXPECT_EQ(ReadLine(fd).substr(0, 4), "230 ");
    return fd;
  }

  qlm::test::EngineUnderTest engine_{"127.0.0.208"};
  std::unique_ptr<CFtpServerProcess> server_;
  uint16_t port_ = 0;
};

TEST_F(PortMapFtpE2eTest, FtplibStoresAndRetrievesOneMebibyteInActiveMode) {
  ASSERT_NO_FATAL_FAILURE(Start("127.0.0.209"));
  const std::string upload = engine_.Folder() + "/upload.bin";
  const std::string retrieved = engine_.Folder() + "/retrieved.bin";
  const std::string bytes = RandomBytes(1 << 20);
  WriteFile(upload, bytes);
  const auto result = qlm::test::Run(
      {"python3", std::string(QLM_SOURCE_DIR) + "/tests/e2e/ftp/ftp_client.py", "--proxy",
       engine_.Ip(), "--port", std::to_string(port_), "--user", kUser, "--password", kPassword,
       "--store", upload, "--retrieved", retrieved},
      {}, std::nullopt, std::chrono::seconds(60));
  ASSERT_EQ(result.code, 0) << result.err;
  EXPECT_TRUE(ReadFile(server_->Root() + "/upload.bin") == bytes) << "stored file differs";
  EXPECT_TRUE(ReadFile(retrieved) == bytes) << "retrieved file differs";
  EXPECT_TRUE(engine_.WaitForLog("FTP-PORTMAP 127.0.0.1"));
}

TEST_F(PortMapFtpE2eTest, PasvAndBadPortsAreRefused) {
  ASSERT_NO_FATAL_FAILURE(Start("127.0.0.210"));
  const int fd = LoggedOn();
  SendText(fd, "PASV\r\n");
  EXPECT_EQ(ReadLine(fd), "502 Command not implemented\r\n");
  SendText(fd, "PORT 127,0,0,300,4,1\r\n");
  EXPECT_EQ(ReadLine(fd), kSyntax);
  EXPECT_TRUE(engine_.WaitForLog("ERR   Ftp client syntax error with (PORT 127,0,0,300,4,1)"));
  // Another host than the client's own: no bounce through the proxy.
  SendText(fd, "PORT 10,0,0,5,4,1\r\n");
  EXPECT_EQ(ReadLine(fd), kSyntax);
  EXPECT_TRUE(engine_.WaitForLog(
      "ERR   Ftp client PORT names another host (10.0.0.5) than its own (127.0.0.1)"));
  ::close(fd);
}

TEST_F(PortMapFtpE2eTest, DataConnectionFromAnotherPortIsRefusedWithItsRecord) {
  // This server's active connections leave from any port, not 20.
  ASSERT_NO_FATAL_FAILURE(Start("127.0.0.211", 0));
  const int fd = LoggedOn();
  uint16_t data_port = 0;
  const int data_listener = qlm::test::ListenTcp("127.0.0.1", &data_port);
  SendText(fd, "PORT 127,0,0,1," + std::to_string(data_port >> 8) + "," +
                   std::to_string(data_port & 0xff) + "\r\n");
  EXPECT_EQ(ReadLine(fd).substr(0, 4), "200 ");
  SendText(fd, "LIST\r\n");
  EXPECT_TRUE(engine_.WaitForLog("ERR   Receiving data connection from other server (127.0.0.211:"));
  ::close(data_listener);
  ::close(fd);
}

TEST_F(PortMapFtpE2eTest, EngineStopEndsAnOpenSessionAtOnce) {
  ASSERT_NO_FATAL_FAILURE(Start("127.0.0.212"));
  const int fd = LoggedOn();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(engine_.Stop(), 0);
  EXPECT_TRUE(ClosedByPeer(fd));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  ::close(fd);
}

}  // namespace
}  // namespace qlm::ftp::test
