// The DNS relay forwarding to a configured server, through the real qlmsvr
// in a namespace of the test's own with the server in-process on
// 127.0.0.53:53 there: the client's id comes back, AAAA is relayed at once,
// a name error from the server is dropped and the client gets the echo of
// its query after the (shortened) wait.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <memory>

#include "dns_e2e_support.h"
#include "services/dns/dns_config.h"
#include "tests/e2e/support/engine_under_test.h"
#include "tests/services/dns/dns_test_support.h"
#include "tests/support/fake_servers.h"

namespace qlm::dns::test {
namespace {

using qlm::test::EngineUnderTest;

constexpr const char* kServer = "127.0.0.53";

// Answers like a server with no records to give, except that names starting
// with "gone" get RCODE 3.
std::vector<Bytes> ServerAnswer(const Bytes& query) {
  const bool gone = query.size() > 17 && std::string(query.begin() + 13, query.begin() + 17) == "gone";
  return {UpstreamReply(query, gone ? 3 : 0, 0)};
}

class DnsRelayE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ns_.Ok());
    ns_.Enter([&] { server_ = std::make_unique<CFakeUpstream>(kServer, &ServerAnswer); });
    ASSERT_TRUE(server_ && server_->Ok());
    ::setenv(kUpstreamWaitVariable, "1500", 1);
    port_ = engine_.AddDaemon("DNS", true, true, DnsValues(true, false, 600));
    engine_.AddStoreText("[Daemons\\" + engine_.Ip() + ":" + std::to_string(port_) + "\\" +
                         kServer + "]\n\n");
    ASSERT_TRUE(engine_.Start());
    client_ = UdpSocketIn(ns_, "127.0.0.9");
    ASSERT_GE(client_, 0);
  }
  void TearDown() override {
    ::unsetenv(kUpstreamWaitVariable);
    if (client_ >= 0) {
      ::close(client_);
    }
  }

  CNetns ns_{"qdr", {{"hosts", "127.0.0.1 localhost\n"},
                     {"resolv.conf", "nameserver 127.0.0.1\noptions timeout:1 attempts:1\n"}}};
  std::unique_ptr<CFakeUpstream> server_;
  EngineUnderTest engine_{"127.0.0.2", ns_.Launcher()};
  uint16_t port_ = 0;
  int client_ = -1;
};

TEST_F(DnsRelayE2eTest, RelayedQueryIsAnsweredWithTheClientsId) {
  const Bytes q = Query(0xABCD, "far.example");
  ASSERT_TRUE(SendTo(client_, q, engine_.Ip(), port_));
  EXPECT_EQ(qlm::test::ReceiveDatagram(client_), UpstreamReply(q, 0, 0));
  EXPECT_EQ(server_->LastQuery(), q);
}

TEST_F(DnsRelayE2eTest, AaaaIsRelayedAndAnsweredAtOnce) {
  const auto result = Dig(ns_, engine_.Ip(), port_, "127.0.0.9", {"far.example", "AAAA"}, 1);
  ASSERT_EQ(result.code, 0) << result.out << result.err;
  EXPECT_NE(result.out.find("status: NOERROR"), std::string::npos) << result.out;
  EXPECT_EQ(server_->Queries(), 1);
}

TEST_F(DnsRelayE2eTest, ServerNameErrorIsDroppedAndTheQueryEchoedAfterTheWait) {
  const Bytes q = Query(0x0102, "gone.example");
  const auto sent = std::chrono::steady_clock::now();
  ASSERT_TRUE(SendTo(client_, q, engine_.Ip(), port_));
  const Bytes reply = qlm::test::ReceiveDatagram(client_, 10000);
  const auto waited = std::chrono::steady_clock::now() - sent;
  Bytes echo = q;
  echo[2] |= 0x84;  // QR, AA
  echo[3] = 0x83;   // RA, RCODE 3
  EXPECT_EQ(reply, echo);
  EXPECT_GE(waited, std::chrono::milliseconds(1400));
  EXPECT_EQ(server_->Queries(), 1);
}

}  // namespace
}  // namespace qlm::dns::test
