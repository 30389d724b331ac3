// The DNS relay answering from the engine's own resolver, through the real
// qlmsvr inside a namespace of the test's own (its hosts file names the
// machines; its resolv.conf points at nothing, so unknown names fail at
// once): dig for names with and without CNAME, the name error, other types,
// and raw datagrams the relay must not answer.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <set>

#include "dns_e2e_support.h"
#include "tests/e2e/support/engine_under_test.h"
#include "tests/services/dns/dns_test_support.h"
#include "tests/support/fake_servers.h"

namespace qlm::dns::test {
namespace {

using qlm::test::EngineUnderTest;

std::string HostsFile() {
  char name[256] = {};
  ::gethostname(name, sizeof(name) - 1);
  return std::string("127.0.0.1 localhost ") + name +
         "\n10.9.8.7 gate.office www.office\n";
}

// Reads replies on every client until none came for a second.
void CollectReplies(const std::vector<int>& fds, std::vector<std::set<int>>& missing) {
  std::vector<pollfd> polls;
  for (int fd : fds) {
    polls.push_back(pollfd{fd, POLLIN, 0});
  }
  while (::poll(polls.data(), polls.size(), 1000) > 0) {
    for (size_t c = 0; c < polls.size(); ++c) {
      if ((polls[c].revents & POLLIN) != 0) {
        const Bytes r = qlm::test::ReceiveDatagram(fds[c], 0);
        if (r.size() >= 2) {
          missing[c].erase(Read16(r, 0));
        }
      }
    }
  }
}

class DnsLocalE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ns_.Ok());
    port_ = engine_.AddDaemon("DNS", true, true, DnsValues(false, false, 600));
    ASSERT_TRUE(engine_.Start());
  }
  qlm::test::RunResult DigLocal(const std::vector<std::string>& words) {
    return Dig(ns_, engine_.Ip(), port_, "127.0.0.9", words);
  }

  CNetns ns_{"qdl", {{"hosts", HostsFile()},
                     {"resolv.conf", "nameserver 127.0.0.1\noptions timeout:1 attempts:1\n"}}};
  EngineUnderTest engine_{"127.0.0.2", ns_.Launcher()};
  uint16_t port_ = 0;
};

TEST_F(DnsLocalE2eTest, OtherOfficialNameGivesCnameThenAddress) {
  const auto result = DigLocal({"www.office", "A", "+noall", "+answer"});
  ASSERT_EQ(result.code, 0) << result.out << result.err;
  const std::string answer = Squeeze(result.out);
  EXPECT_NE(answer.find("www.office. 600 IN CNAME gate.office."), std::string::npos) << answer;
  EXPECT_NE(answer.find("gate.office. 600 IN A 10.9.8.7"), std::string::npos) << answer;
}

TEST_F(DnsLocalE2eTest, OfficialNameGivesAddressOnly) {
  const auto result = DigLocal({"gate.office", "A", "+noall", "+answer"});
  ASSERT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(Squeeze(result.out), "gate.office. 600 IN A 10.9.8.7\n");
}

TEST_F(DnsLocalE2eTest, UnknownNameGetsNameErrorWithAuthority) {
  const auto result = DigLocal({"nosuch.office", "A"});
  ASSERT_EQ(result.code, 0) << result.err;
  EXPECT_NE(result.out.find("status: NXDOMAIN"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("flags: qr aa rd ra"), std::string::npos) << result.out;
}

// A resolver asking A and AAAA together gets both answers at once.
TEST_F(DnsLocalE2eTest, KnownNameOfOtherTypesGetsEmptyAnswer) {
  for (const char* type : {"AAAA", "MX"}) {
    const auto result = DigLocal({"gate.office", type});
    ASSERT_EQ(result.code, 0) << type << result.out;
    EXPECT_NE(result.out.find("status: NOERROR"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("ANSWER: 0,"), std::string::npos) << result.out;
  }
  const auto mx = DigLocal({"nosuch.office", "MX"});
  EXPECT_NE(mx.out.find("status: NXDOMAIN"), std::string::npos) << mx.out;
}

// Each datagram the relay must not answer is followed by one it answers:
// the only reply that comes is the last one's.
TEST_F(DnsLocalE2eTest, MalformedAndShortDatagramsGetNoReply) {
  const int fd = UdpSocketIn(ns_, "127.0.0.9");
  ASSERT_GE(fd, 0);
  Bytes two = Query(1, "gate.office");
  two[5] = 2;
  const Bytes pointer_loop = {0, 2, 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0xC0, 12, 0, 1, 0, 1};
  const Bytes past_end = {0, 3, 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0, 40, 'a', 'b', 'c'};
  Bytes short13 = Query(4, "");
  short13.resize(13);
  for (const Bytes* bad : std::vector<const Bytes*>{&two, &pointer_loop, &past_end, &short13}) {
    ASSERT_TRUE(SendTo(fd, *bad, engine_.Ip(), port_));
  }
  ASSERT_TRUE(SendTo(fd, Query(77, "gate.office"), engine_.Ip(), port_));
  const Bytes reply = qlm::test::ReceiveDatagram(fd);
  ASSERT_GE(reply.size(), 12u);
  EXPECT_EQ(Read16(reply, 0), 77);
  EXPECT_TRUE(qlm::test::ReceiveDatagram(fd, 300).empty());
  EXPECT_EQ(engine_.CountLog("ERR"), 0u);
  ::close(fd);
}

TEST_F(DnsLocalE2eTest, QueryFromTheProxyHostItselfIsDropped) {
  const int self = UdpSocketIn(ns_, "127.0.0.1");
  const int other = UdpSocketIn(ns_, "127.0.0.9");
  ASSERT_GE(self, 0);
  ASSERT_GE(other, 0);
  ASSERT_TRUE(SendTo(self, Query(5, "gate.office"), engine_.Ip(), port_));
  ASSERT_TRUE(SendTo(other, Query(6, "gate.office"), engine_.Ip(), port_));
  EXPECT_FALSE(qlm::test::ReceiveDatagram(other).empty());
  EXPECT_TRUE(qlm::test::ReceiveDatagram(self, 300).empty());
  ::close(self);
  ::close(other);
}

// A thousand queries at once from ten clients. A burst can overflow the
// daemon socket's receive queue in the kernel, so the clients repeat an
// unanswered query after a second, as resolvers do; every one is answered.
TEST_F(DnsLocalE2eTest, ThousandConcurrentQueriesAreAllAnswered) {
  constexpr int kClients = 10;
  constexpr int kPerClient = 100;
  std::vector<int> fds;
  for (int c = 0; c < kClients; ++c) {
    fds.push_back(UdpSocketIn(ns_, "127.0.0." + std::to_string(10 + c)));
    ASSERT_GE(fds.back(), 0);
  }
  std::vector<std::set<int>> missing(kClients);
  for (int c = 0; c < kClients; ++c) {
    for (int i = 0; i < kPerClient; ++i) {
      missing[c].insert(i);
    }
  }
  const auto left = [&] {
    size_t count = 0;
    for (const auto& m : missing) {
      count += m.size();
    }
    return count;
  };
  int resent = 0;
  for (int round = 0; round < 10 && left() > 0; ++round) {
    for (int c = 0; c < kClients; ++c) {
      for (int id : missing[c]) {
        resent += round > 0;
        SendTo(fds[c], Query(static_cast<uint16_t>(id), "gate.office"), engine_.Ip(), port_);
      }
    }
    CollectReplies(fds, missing);
  }
  EXPECT_EQ(left(), 0u);
  EXPECT_EQ(engine_.CountLog("ERR"), 0u);  // none dropped by the worker bound
  std::printf("1000 queries: %d sent again\n", resent);
  for (int fd : fds) {
    ::close(fd);
  }
}

}  // namespace
}  // namespace qlm::dns::test
