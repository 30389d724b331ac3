// Opening daemon and port-mapping listeners, and DaemonServerThreadProc on
// real loopback sockets: unknown daemons, the datagram rules, the stop.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <thread>

#include "engine/activity_log.h"
#include "engine/engine_error_report.h"
#include "engine/service/daemon_server_thread.h"
#include "engine/service/listener_set.h"
#include "engine/service/protocol_table.h"
#include "net/shutdown_socket.h"
#include "tests/support/log_capture.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::engine {
namespace {

// Collects the log lines and the engine's reports.
class Sink : public qlm::test::CLogCapture {
 public:
  void Report(const std::string& kind, const std::string& text) {
    std::lock_guard lock(mutex_);
    reports_.push_back(kind + "|" + text);
  }
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (const qlm::test::LogCall& call : Logs()) {
      lines.push_back(call.kind + "|" + call.text);
    }
    return lines;
  }
  std::vector<std::string> Reports() {
    std::lock_guard lock(mutex_);
    return reports_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> reports_;  // Guarded by mutex_
};

class DaemonDispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    net::CShutdownSocket::Instance().ResetForTest();
    SetEngineDebugMode(true);
    SetEngineReportSinkForTest(
        [this](const std::string& kind, const std::string& text) { sink_.Report(kind, text); });
  }
  void TearDown() override {
    StopDispatcher();
    SetEngineReportSinkForTest(nullptr);
    net::CShutdownSocket::Instance().ResetForTest();
  }
  void StartDispatcher() {
    dispatcher_ = std::thread([this] {
      DaemonServerThreadProc(std::make_unique<ConnectionContext>(), &listeners_.Daemons());
    });
  }
  void StopDispatcher() {
    if (dispatcher_.joinable()) {
      net::CShutdownSocket::Instance().Close();
      dispatcher_.join();
    }
  }
  static DaemonSource Daemon(const std::string& name, std::vector<std::string> listeners,
                             bool datagram = false) {
    DaemonSource source;
    source.name = name;
    source.enable = true;
    source.default_port = 7;
    source.listeners = std::move(listeners);
    if (datagram) {
      source.prepare = [](DaemonRecord& record) { record.type = net::kDatagram; };
    }
    return source;
  }
  bool Logged(const std::string& line) {
    const auto lines = sink_.Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  static void SendDatagram(uint16_t port, size_t length) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string data(length, 'q');
    ::sendto(fd, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    ::close(fd);
  }

  Sink sink_;
  CListenerSet listeners_;
  ListenerAddressing direct_{false, "", "127.0.0.1"};
  std::thread dispatcher_;
};

TEST_F(DaemonDispatchTest, NewsgroupsConnectionIsAcceptedLoggedAndClosed) {
  const uint16_t port = test::FreeTcpPort();
  ASSERT_TRUE(listeners_.OpenDaemonListeners(
      {Daemon("Newsgroups", {"127.0.0.1:" + std::to_string(port)})}, direct_));
  StartDispatcher();
  for (int i = 0; i < 2; ++i) {
    const int fd = test::ConnectTcp("127.0.0.1", port);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(test::ReadAll(fd, 16, 5000), "");  // closed without a word
    ::close(fd);
  }
  ASSERT_TRUE(test::WaitUntil([&] { return sink_.Lines().size() == 2; }));
  for (const std::string& line : sink_.Lines()) {
    EXPECT_EQ(line, "ERR|DaemonServerThreadProc:accept error never go here");
  }
}

TEST_F(DaemonDispatchTest, StopEndsTheDispatcher) {
  const uint16_t port = test::FreeTcpPort();
  ASSERT_TRUE(listeners_.OpenDaemonListeners(
      {Daemon("HTTPX", {"127.0.0.1:" + std::to_string(port)})}, direct_));
  StartDispatcher();
  net::CShutdownSocket::Instance().Close();
  dispatcher_.join();  // bounded by the test's own time-out
  EXPECT_TRUE(sink_.Lines().empty());
}

TEST_F(DaemonDispatchTest, DnsDatagramsShorterThan14BytesAreDroppedSilently) {
  const uint16_t dns_port = test::FreeUdpPort();
  const uint16_t chat_port = test::FreeUdpPort();
  ASSERT_TRUE(listeners_.OpenDaemonListeners(
      {Daemon("DNS", {"127.0.0.1:" + std::to_string(dns_port)}, true),
       Daemon("Chat", {"127.0.0.1:" + std::to_string(chat_port)}, true)},
      direct_));
  StartDispatcher();
  SendDatagram(dns_port, 13);
  // A later datagram of another daemon proves the first was read and dropped.
  SendDatagram(chat_port, 13);
  const std::string other =
      "ERR|DaemonServerThreadProc:receiv other datagram message from port " +
      std::to_string(chat_port) + ". Not implemented.";
  ASSERT_TRUE(test::WaitUntil([&] { return Logged(other); }));
  EXPECT_EQ(sink_.Lines().size(), 1u);
  if (FindDatagramProtocol("DNS")->start == nullptr) {
    // Without a DNS relay built in, a full-size query is logged like an
    // unknown datagram daemon's.
    SendDatagram(dns_port, 14);
    const std::string dns_other =
        "ERR|DaemonServerThreadProc:receiv other datagram message from port " +
        std::to_string(dns_port) + ". Not implemented.";
    EXPECT_TRUE(test::WaitUntil([&] { return Logged(dns_other); }));
  }
}

TEST_F(DaemonDispatchTest, DisabledDaemonsAndRepeatedKeysOpenNothing) {
  const uint16_t port = test::FreeTcpPort();
  DaemonSource off = Daemon("FTP", {"127.0.0.1:" + std::to_string(port)});
  off.enable = false;
  EXPECT_FALSE(listeners_.OpenDaemonListeners({off}, direct_));
  // With UseDefaultIP, two texts differing only in IP are one listener.
  const ListenerAddressing service{true, "127.0.0.1", "127.0.0.1"};
  const std::string p = std::to_string(port);
  EXPECT_TRUE(listeners_.OpenDaemonListeners(
      {Daemon("HTTP", {"10.9.9.9:" + p, "10.9.9.8:" + p})}, service));
  EXPECT_EQ(listeners_.Keys(), std::vector<std::string>{"127.0.0.1:HTTP:" + p});
  EXPECT_EQ(listeners_.Daemons().size(), 1u);
  EXPECT_TRUE(sink_.Reports().empty());
}

TEST_F(DaemonDispatchTest, BareIpListensOnTheDefaultPort) {
  const uint16_t port = test::FreeTcpPort();
  DaemonSource source = Daemon("Telnet", {"127.0.0.1"});
  source.default_port = port;
  ASSERT_TRUE(listeners_.OpenDaemonListeners({source}, direct_));
  EXPECT_EQ(listeners_.Daemons()[0]->port, port);
  const int fd = test::ConnectTcp("127.0.0.1", port);
  EXPECT_GE(fd, 0);
  ::close(fd);
}

TEST_F(DaemonDispatchTest, AddressInUseGetsTheBindingMessageAndOthersStillOpen) {
  uint16_t taken = 0;
  const int holder = test::ListenTcp("127.0.0.1", &taken);
  const uint16_t free_port = test::FreeTcpPort();
  ASSERT_TRUE(listeners_.OpenDaemonListeners(
      {Daemon("HTTP", {"127.0.0.1:" + std::to_string(taken)}),
       Daemon("SOCKS", {"127.0.0.1:" + std::to_string(free_port)})},
      direct_));
  ::close(holder);
  const std::string message = "Binding error in creating HTTP daemon. There may be another "
                              "application using 127.0.0.1:" + std::to_string(taken) +
                              ". Please use a different IP:PORT or terminate the other "
                              "application.";
  EXPECT_EQ(sink_.Reports(), (std::vector<std::string>{
                                 "error|" + message, "Quillmar Service Error Message|" + message}));
  EXPECT_EQ(listeners_.Keys(),
            std::vector<std::string>{"127.0.0.1:SOCKS:" + std::to_string(free_port)});
}

TEST_F(DaemonDispatchTest, AddressNotOfThisHostIsNotValid) {
  const ListenerAddressing service{true, "192.0.2.1", "127.0.0.1"};
  EXPECT_FALSE(listeners_.OpenDaemonListeners({Daemon("HTTP", {"127.0.0.1:8080"})}, service));
  ASSERT_FALSE(sink_.Reports().empty());
  EXPECT_EQ(sink_.Reports()[0],
            "error|Binding error in creating HTTP daemon. The IP address 192.0.2.1:8080 is "
            "not valid. Please use a different IP:PORT");
}

TEST_F(DaemonDispatchTest, PortMappingsOpenByProtocolAndSkipBareAddresses) {
  const uint16_t tcp_port = test::FreeTcpPort();
  const uint16_t udp_port = test::FreeUdpPort();
  PortMapSource web;
  web.name = "Web";
  web.enable = true;
  web.protocol = "tcp";
  web.listeners = {"127.0.0.1", "127.0.0.1:" + std::to_string(tcp_port)};
  PortMapSource game = web;
  game.name = "Game";
  game.protocol = "TCP";  // anything but exactly "tcp" is a datagram mapping
  game.listeners = {"127.0.0.1:" + std::to_string(udp_port)};
  ASSERT_TRUE(listeners_.OpenPortMapListeners({web, game}, direct_));
  ASSERT_EQ(listeners_.PortMaps().size(), 2u);
  EXPECT_EQ(listeners_.PortMaps()[0]->type, net::kStream);
  EXPECT_EQ(listeners_.PortMaps()[1]->type, net::kDatagram);
  EXPECT_EQ(listeners_.Keys(),
            (std::vector<std::string>{"127.0.0.1:Web:" + std::to_string(tcp_port),
                                      "127.0.0.1:Game:" + std::to_string(udp_port)}));
}

}  // namespace
}  // namespace qlm::engine
