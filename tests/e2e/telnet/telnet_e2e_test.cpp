// The Telnet proxy in the engine, driven over a raw connection as a Telnet
// client would: the exact greeting with its option commands and prompt, a
// relayed session to the host and port typed, "Bad hostname!" for a bad
// port and an empty line, a refused connect with its two ERR records, and
// the idle end with the wait shortened.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/fake_servers.h"
#include "tests/support/loopback.h"
#include "tests/support/scoped_fd.h"

namespace qlm::test {
namespace {

const std::string kIntro =
    "Quillmar Proxy Server Telnet Session---------New user ready!\r\n"
    "\xff\xfb\x01"  // IAC WILL ECHO
    "\xff\xfb\x03"  // IAC WILL SUPPRESS-GO-AHEAD
    "\xff\xfd\x01"  // IAC DO ECHO
    "Hostname [port number]: ";
const std::string kSuffix = " in TELNET client cmd connection! Connection closed";

// `size` bytes, or fewer when the peer closes or 10 s pass.
std::string ReadBytes(int fd, size_t size) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::string got;
  char buffer[512];
  while (got.size() < size) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd entry{fd, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) != 1) {
      break;
    }
    const ssize_t count = ::recv(fd, buffer, std::min(sizeof buffer, size - got.size()), 0);
    if (count <= 0) {
      break;
    }
    got.append(buffer, static_cast<size_t>(count));
  }
  return got;
}

std::string ReadToClose(int fd) { return ReadBytes(fd, 1 << 16); }

class TelnetE2eTest : public ::testing::Test {
 protected:
  // Starts an engine on `ip` with a Telnet daemon; false when it did not start.
  bool StartEngine(const std::string& ip, const std::string& timeouts = "") {
    engine_ = std::make_unique<EngineUnderTest>(ip);
    port_ = engine_->AddDaemon("Telnet");
    if (!timeouts.empty()) {
      engine_->SetEnvironment("QUILLMAR_TIMEOUTS", timeouts);
    }
    return engine_->Start();
  }

  // A connection that has had the greeting and prompt.
  int Greeted() {
    const int fd = ConnectTcp(engine_->Ip(), port_);
    EXPECT_EQ(ReadBytes(fd, kIntro.size()), kIntro);
    return fd;
  }

  std::unique_ptr<EngineUnderTest> engine_;
  uint16_t port_ = 0;
};

TEST_F(TelnetE2eTest, GreetsThenRelaysToTheHostAndPortTyped) {
  CTcpEcho echo("127.0.0.191");
  ASSERT_TRUE(StartEngine("127.0.0.181"));
  CScopedFd client(Greeted());
  WriteAll(client.Get(), "127.0.0.191 " + std::to_string(echo.port()) + "\r\n");
  const std::string data = "hello through the proxy \xff\xf4 raw\r\n";
  WriteAll(client.Get(), data);
  EXPECT_EQ(ReadBytes(client.Get(), data.size()), data);
  ::shutdown(client.Get(), SHUT_WR);
  EXPECT_EQ(ReadToClose(client.Get()), "");
  EXPECT_TRUE(engine_->WaitForLog("TELNET    127.0.0.1        "));
  EXPECT_TRUE(engine_->WaitForLog("127.0.0.191      127.0.0.191               " +
                                  std::to_string(echo.port())));
  EXPECT_EQ(engine_->CountLog("ERR   "), 0u);
}

TEST_F(TelnetE2eTest, PortThatIsNotANumberIsABadHostname) {
  ASSERT_TRUE(StartEngine("127.0.0.182"));
  CScopedFd client(Greeted());
  WriteAll(client.Get(), "127.0.0.191 two\r\n");
  EXPECT_EQ(ReadToClose(client.Get()), "Bad hostname!\r\n");
  EXPECT_TRUE(
      engine_->WaitForLog("ERR   TelnetThreadProc:hostname 127.0.0.191 two is bad" + kSuffix));
}

TEST_F(TelnetE2eTest, EmptyLineIsABadHostname) {
  ASSERT_TRUE(StartEngine("127.0.0.183"));
  CScopedFd client(Greeted());
  WriteAll(client.Get(), "\r\n");
  EXPECT_EQ(ReadToClose(client.Get()), "Bad hostname!\r\n");
  EXPECT_TRUE(engine_->WaitForLog(
      "ERR   TelnetThreadProc::ResovlHostByName:Remote host () is unresolved" + kSuffix));
}

TEST_F(TelnetE2eTest, RefusedConnectRepliesAndWritesTwoErrRecords) {
  const uint16_t closed = FreeTcpPort("127.0.0.192");
  ASSERT_TRUE(StartEngine("127.0.0.184"));
  CScopedFd client(Greeted());
  WriteAll(client.Get(), "127.0.0.192 " + std::to_string(closed) + "\r\n");
  EXPECT_EQ(ReadToClose(client.Get()), "Connect to remote server fails!\r\n");
  EXPECT_TRUE(
      engine_->WaitForLog("ERR   TelnetThreadProc::Connect to remote host 127.0.0.192 failed"));
  EXPECT_TRUE(engine_->WaitForLog("ERR   CBlockingSocket::ConnectNonBlock"));
  EXPECT_EQ(engine_->CountLog("ERR   "), 2u);
  EXPECT_EQ(engine_->CountLog(kSuffix), 1u);
}

TEST_F(TelnetE2eTest, IdleSessionEndsWithTheTimeoutReply) {
  CTcpEcho echo("127.0.0.193");
  ASSERT_TRUE(StartEngine("127.0.0.185", "telnet.idle=300"));
  CScopedFd client(Greeted());
  WriteAll(client.Get(), "127.0.0.193 " + std::to_string(echo.port()) + "\r\n");
  EXPECT_EQ(ReadToClose(client.Get()), "Telnet session timeout!\r\n");
  EXPECT_EQ(engine_->CountLog("ERR   "), 0u);
}

}  // namespace
}  // namespace qlm::test
