// The Telnet proxy over loopback: the exact greeting, a relayed session to
// host and port typed, every reply, both ERR records of a refused connect
// and the idle end.
#include "proxies/circuit/telnet_session.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/connection_limit.h"
#include "tests/support/fake_servers.h"
#include "tests/support/log_capture.h"
#include "tests/support/loopback.h"
#include "tests/support/scoped_fd.h"

namespace qlm::circuit {
namespace {

using qlm::test::CLogCapture;
using qlm::test::CScopedFd;
using qlm::test::WriteAll;

const std::string kIntro =
    "Quillmar Proxy Server Telnet Session---------New user ready!\r\n"
    "\xff\xfb\x01"  // IAC WILL ECHO
    "\xff\xfb\x03"  // IAC WILL SUPPRESS-GO-AHEAD
    "\xff\xfd\x01"  // IAC DO ECHO
    "Hostname [port number]: ";
const char* const kSuffix = " in TELNET client cmd connection! Connection closed";

TelnetConfig ShortConfig() {
  TelnetConfig c;
  c.command.byte = std::chrono::milliseconds(3000);
  c.command.line = std::chrono::milliseconds(3000);
  c.command.send = std::chrono::milliseconds(3000);
  c.session.connect = std::chrono::milliseconds(3000);
  c.session.idle = std::chrono::milliseconds(5000);
  c.session.send = std::chrono::milliseconds(3000);
  return c;
}

// Serves each connection with TelnetThreadProc on a thread of its own.
class CTelnetHarness {
 public:
  CTelnetHarness() {
    engine::CConnectionLimit::Instance().Reset(engine::CConnectionLimit::kDefaultMaxConnections);
    listener_ = qlm::test::ListenTcp("127.0.0.1", &port_);
  }
  ~CTelnetHarness() {
    JoinAll();
    ::close(listener_);
    engine::CConnectionLimit::Instance().Reset(engine::CConnectionLimit::kDefaultMaxConnections);
  }

  int Connect(const TelnetConfig& config = ShortConfig()) {
    const int fd = qlm::test::ConnectTcp("127.0.0.1", port_);
    pollfd entry{listener_, POLLIN, 0};
    EXPECT_EQ(::poll(&entry, 1, 5000), 1);
    auto client = std::make_unique<CTelnetClient>(config);
    client->Attach(::accept(listener_, nullptr, nullptr));
    auto context = std::make_unique<engine::ConnectionContext>();
    context->Client = std::move(client);
    threads_.emplace_back([c = std::move(context)]() mutable { TelnetThreadProc(std::move(c)); });
    return fd;
  }

  void JoinAll() {
    for (std::thread& t : threads_) {
      t.join();
    }
    threads_.clear();
  }

 private:
  int listener_ = -1;
  uint16_t port_ = 0;
  std::vector<std::thread> threads_;
};

// `size` bytes, or fewer when the peer closes or 5 s pass.
std::string ReadBytes(int fd, size_t size) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
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

// Everything until the peer closes (at most 5 s).
std::string ReadToClose(int fd) { return ReadBytes(fd, 1 << 16); }

TEST(CTelnetSessionTest, GreetsThenRelaysToTheHostAndPortTyped) {
  CLogCapture log;
  qlm::test::CTcpEcho echo;
  CTelnetHarness harness;
  CScopedFd client(harness.Connect());
  EXPECT_EQ(ReadBytes(client.Get(), kIntro.size()), kIntro);
  WriteAll(client.Get(), "127.0.0.1 " + std::to_string(echo.port()) + "\r\n");
  // Telnet commands after the host line pass untouched.
  const std::string data = "raw \xff\xfb\x01 bytes\r\n";
  WriteAll(client.Get(), data);
  EXPECT_EQ(ReadBytes(client.Get(), data.size()), data);
  ::shutdown(client.Get(), SHUT_WR);
  EXPECT_EQ(ReadToClose(client.Get()), "");
  harness.JoinAll();
  EXPECT_FALSE(log.HasLineStartingWith("ERR", "")) << log.All();
}

TEST(CTelnetSessionTest, PortThatIsNotANumberIsABadHostname) {
  CLogCapture log;
  CTelnetHarness harness;
  CScopedFd client(harness.Connect());
  EXPECT_EQ(ReadBytes(client.Get(), kIntro.size()), kIntro);
  WriteAll(client.Get(), "10.0.0.9 two\r\n");
  EXPECT_EQ(ReadToClose(client.Get()), "Bad hostname!\r\n");
  harness.JoinAll();
  EXPECT_TRUE(
      log.HasLine("ERR", std::string("TelnetThreadProc:hostname 10.0.0.9 two is bad") + kSuffix))
      << log.All();
}

TEST(CTelnetSessionTest, EmptyLineIsABadHostname) {
  CLogCapture log;
  CTelnetHarness harness;
  CScopedFd client(harness.Connect());
  EXPECT_EQ(ReadBytes(client.Get(), kIntro.size()), kIntro);
  WriteAll(client.Get(), "\r\n");
  EXPECT_EQ(ReadToClose(client.Get()), "Bad hostname!\r\n");
  harness.JoinAll();
  EXPECT_TRUE(log.HasLine(
      "ERR", std::string("TelnetThreadProc::ResovlHostByName:Remote host () is unresolved") +
                 kSuffix))
      << log.All();
}

TEST(CTelnetSessionTest, RefusedConnectRepliesAndWritesTwoErrRecords) {
  CLogCapture log;
  CTelnetHarness harness;
  const uint16_t closed = qlm::test::FreeTcpPort("127.0.0.1");
  CScopedFd client(harness.Connect());
  EXPECT_EQ(ReadBytes(client.Get(), kIntro.size()), kIntro);
  WriteAll(client.Get(), "127.0.0.1 " + std::to_string(closed) + "\r\n");
  EXPECT_EQ(ReadToClose(client.Get()), "Connect to remote server fails!\r\n");
  harness.JoinAll();
  EXPECT_TRUE(log.HasLine("ERR", "TelnetThreadProc::Connect to remote host 127.0.0.1 failed"))
      << log.All();
  std::vector<std::string> errors;
  for (const auto& line : log.Logs()) {
    if (line.kind == "ERR") {
      errors.push_back(line.text);
    }
  }
  ASSERT_EQ(errors.size(), 2u) << log.All();
  EXPECT_EQ(errors[0], "TelnetThreadProc::Connect to remote host 127.0.0.1 failed");
  EXPECT_TRUE(errors[1].starts_with("CBlockingSocket::ConnectNonBlock")) << errors[1];
  EXPECT_NE(errors[1].find("10061"), std::string::npos) << errors[1];
  EXPECT_TRUE(errors[1].ends_with(kSuffix)) << errors[1];
}

TEST(CTelnetSessionTest, IdleSessionTimesOut) {
  CLogCapture log;
  qlm::test::CTcpEcho echo;
  CTelnetHarness harness;
  TelnetConfig config = ShortConfig();
  config.session.idle = std::chrono::milliseconds(200);
  CScopedFd client(harness.Connect(config));
  EXPECT_EQ(ReadBytes(client.Get(), kIntro.size()), kIntro);
  WriteAll(client.Get(), "127.0.0.1 " + std::to_string(echo.port()) + "\r\n");
  EXPECT_EQ(ReadToClose(client.Get()), "Telnet session timeout!\r\n");
  harness.JoinAll();
  EXPECT_FALSE(log.HasLineStartingWith("ERR", "")) << log.All();
}

TEST(CTelnetSessionTest, NoFreeSlotSaysSo) {
  CLogCapture log;
  CTelnetHarness harness;
  engine::CConnectionLimit::Instance().Reset(0);
  CScopedFd client(harness.Connect());
  EXPECT_EQ(ReadToClose(client.Get()), "Hit maximum connections.\r\n");
  harness.JoinAll();
  EXPECT_TRUE(log.HasLine("ERR", std::string("TelnetThreadProc:Limited by maximum connections.") +
                                     kSuffix))
      << log.All();
}

}  // namespace
}  // namespace qlm::circuit
