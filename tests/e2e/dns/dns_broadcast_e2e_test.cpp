// The DNS relay seen from a second machine: two namespaces of the test's own
// joined by a veth pair, the engine in one (10.250.53.1), the office in the
// other (10.250.53.2 to .5). A client there whose resolv.conf names the relay
// resolves at once with getent; with Forward and Broadcast on and no server
// configured, the first query is broadcast with RD cleared, the servers that
// answer are learned (three at most) and asked directly afterwards.
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "dns_e2e_support.h"
#include "services/dns/dns_config.h"
#include "tests/e2e/support/engine_under_test.h"
#include "tests/services/dns/dns_test_support.h"
#include "tests/support/fake_servers.h"
#include "tests/support/wait_until.h"

namespace qlm::dns::test {
namespace {

using qlm::test::EngineUnderTest;
using qlm::test::WaitUntil;

constexpr const char* kEngineIp = "10.250.53.1";
constexpr const char* kClientIp = "10.250.53.2";

// The office side: four name servers on .2 to .5, port 53, and a socket on
// every address of port 53 that hears broadcasts. A broadcast query is
// answered by all four; a query to one of them by that one.
class COfficeServers {
 public:
  explicit COfficeServers(const CNetns& ns) {
    fds_[0] = UdpSocketIn(ns, "0.0.0.0", 53);
    for (int i = 1; i < 5; ++i) {
      fds_[i] = UdpSocketIn(ns, "10.250.53." + std::to_string(i + 1), 53);
    }
    thread_ = std::thread([this] { Serve(); });
  }
  ~COfficeServers() {
    stop_.store(true);
    thread_.join();
    for (int fd : fds_) {
      if (fd >= 0) {
        ::close(fd);
      }
    }
  }
  bool Ok() const {
    for (int fd : fds_) {
      if (fd < 0) {
        return false;
      }
    }
    return true;
  }
  // Queries heard by broadcast (0) and by each server (1 to 4).
  int Heard(int index) const { return heard_[index].load(); }
  Bytes LastBroadcast() {
    std::lock_guard lock(mutex_);
    return last_broadcast_;
  }

 private:
  void Serve() {
    while (!stop_.load()) {
      std::array<pollfd, 5> polls{};
      for (int i = 0; i < 5; ++i) {
        polls[i] = pollfd{fds_[i], POLLIN, 0};
      }
      if (::poll(polls.data(), polls.size(), 50) <= 0) {
        continue;
      }
      for (int i = 0; i < 5; ++i) {
        if ((polls[i].revents & POLLIN) != 0) {
          Answer(i);
        }
      }
    }
  }
  void Answer(int index) {
    uint8_t buffer[1024];
    sockaddr_in from{};
    socklen_t length = sizeof(from);
    const ssize_t got = ::recvfrom(fds_[index], buffer, sizeof(buffer), 0,
                                   reinterpret_cast<sockaddr*>(&from), &length);
    if (got < 12) {
      return;
    }
    const Bytes query(buffer, buffer + got);
    heard_[index].fetch_add(1);
    if (index == 0) {
      std::lock_guard lock(mutex_);
      last_broadcast_ = query;
    }
    const Bytes reply = UpstreamReply(query, 0, 0);
    for (int i = index == 0 ? 1 : index; i <= (index == 0 ? 4 : index); ++i) {
      ::sendto(fds_[i], reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), length);
    }
  }

  std::array<int, 5> fds_{-1, -1, -1, -1, -1};
  std::array<std::atomic<int>, 5> heard_{};
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  Bytes last_broadcast_;  // Guarded by mutex_
  std::thread thread_;
};

class DnsOfficeE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(engine_ns_.Ok());
    ASSERT_TRUE(office_ns_.Ok());
    const std::string tag = std::to_string(::getpid() % 100000);
    const std::string e = "qde" + tag;
    const std::string o = "qdo" + tag;
    ASSERT_TRUE(HostSh("ip link add " + e + " netns " + engine_ns_.Name() + " type veth peer name " +
                       o + " netns " + office_ns_.Name()));
    ASSERT_TRUE(engine_ns_.Sh("ip addr add " + std::string(kEngineIp) + "/24 dev " + e));
    ASSERT_TRUE(engine_ns_.Sh("ip link set " + e + " up"));
    // A broadcast needs a route out of the engine's side.
    ASSERT_TRUE(engine_ns_.Sh("ip route add default dev " + e));
    for (int i = 2; i <= 5; ++i) {
      ASSERT_TRUE(office_ns_.Sh("ip addr add 10.250.53." + std::to_string(i) + "/24 dev " + o));
    }
    ASSERT_TRUE(office_ns_.Sh("ip link set " + o + " up"));
  }
  void TearDown() override { ::unsetenv(kUpstreamWaitVariable); }

  CNetns engine_ns_{"qde", {{"hosts", "127.0.0.1 localhost\n10.9.8.7 gate.office www.office\n"},
                            {"resolv.conf", "nameserver 127.0.0.1\noptions timeout:1 attempts:1\n"}}};
  CNetns office_ns_{"qdo", {{"hosts", "127.0.0.1 localhost\n"},
                            {"resolv.conf", std::string("nameserver ") + kEngineIp +
                                                "\noptions timeout:5 attempts:1\n"}}};
};

// getent asks A and AAAA together; both come back at once, well within the
// client resolver's five seconds.
TEST_F(DnsOfficeE2eTest, ClientResolverGetsItsAnswersAtOnce) {
  EngineUnderTest engine(kEngineIp, engine_ns_.Launcher());
  engine.AddDaemonListener("DNS", std::string(kEngineIp) + ":53", true, DnsValues(false, false, 600));
  ASSERT_TRUE(engine.Start());
  ASSERT_TRUE(WaitUntil([&] { return qlm::test::IsListening(kEngineIp, 53, true, engine.Process().Pid()); }));
  std::vector<std::string> argv = office_ns_.Launcher();
  argv.insert(argv.end(), {"getent", "ahosts", "www.office"});
  const auto started = std::chrono::steady_clock::now();
  const qlm::test::RunResult result = qlm::test::Run(argv);
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(result.code, 0) << result.err;
  EXPECT_NE(result.out.find("10.9.8.7"), std::string::npos) << result.out;
  EXPECT_LT(took, std::chrono::seconds(4));
}

TEST_F(DnsOfficeE2eTest, BroadcastFindsServersThatAreAskedDirectlyLater) {
  COfficeServers servers(office_ns_);
  ASSERT_TRUE(servers.Ok());
  ::setenv(kUpstreamWaitVariable, "1500", 1);
  EngineUnderTest engine(kEngineIp, engine_ns_.Launcher());
  const uint16_t port = engine.AddDaemon("DNS", true, true, DnsValues(true, true, 600));
  ASSERT_TRUE(engine.Start());
  const int client = UdpSocketIn(office_ns_, kClientIp);
  ASSERT_GE(client, 0);

  const Bytes first = Query(0x5151, "far.example", 1, 0x01);
  ASSERT_TRUE(SendTo(client, first, kEngineIp, port));
  // The servers answered the broadcast copy, whose RD was cleared; their
  // reply is relayed byte for byte.
  Bytes seeking = first;
  seeking[2] &= 0xFE;
  EXPECT_EQ(qlm::test::ReceiveDatagram(client), UpstreamReply(seeking, 0, 0));
  EXPECT_EQ(servers.Heard(0), 1);
  EXPECT_EQ(servers.LastBroadcast()[2] & 0x01, 0);  // RD cleared

  // Learning ends once three servers are known (or after the wait); then the
  // next query goes to the three learned servers, not by broadcast.
  const Bytes second = Query(0x5252, "next.example", 1, 0x01);
  bool asked_directly = false;
  for (int attempt = 0; attempt < 5 && !asked_directly; ++attempt) {
    ASSERT_TRUE(SendTo(client, second, kEngineIp, port));
    EXPECT_EQ(qlm::test::ReceiveDatagram(client), UpstreamReply(second, 0, 0));
    asked_directly = WaitUntil([&] { return servers.Heard(1) + servers.Heard(2) +
                                                servers.Heard(3) + servers.Heard(4) >= 3; },
                               std::chrono::seconds(2));
  }
  EXPECT_TRUE(asked_directly);
  EXPECT_EQ(servers.Heard(0), 1);
  int silent = 0;
  for (int i = 1; i <= 4; ++i) {
    silent += servers.Heard(i) == 0;
  }
  EXPECT_EQ(silent, 1);  // three learned of the four that answered
  ::close(client);
}

}  // namespace
}  // namespace qlm::dns::test
