// A kill -9 of the engine in the middle of a burst of REQUESTs: every lease
// the engine acknowledged is in the store, whole, and the next engine serves
// it again.
#include <sstream>

#include <gtest/gtest.h>

#include "tests/e2e/dhcp/dhcp_e2e_fixture.h"
#include "tests/support/child_process.h"

namespace qlm::test {
namespace {

TEST(DhcpCrashE2eTest, KillDuringRequestBurstKeepsEveryAcknowledgedLease) {
  CDhcpNetwork network;
  ASSERT_TRUE(network.Ok());
  ASSERT_TRUE(CDhcpNetwork::Sh(CDhcpNetwork::In(network.ClientNs()) +
                               "ip addr add 10.250.8.250/24 dev " + network.ClientIf()));
  DhcpRange range;
  range.to = "10.250.8.200";
  auto engine = StartDhcpEngine(network, range);
  ASSERT_NE(engine, nullptr);
  engine->ExpectExit(137);
  const RunResult burst = test::Run(
      {"ip", "netns", "exec", network.ClientNs(), "python3",
       std::string(QLM_SOURCE_DIR) + "/tests/e2e/dhcp/dhcp_probe.py", "--iface",
       network.ClientIf(), "--count", "60", "--kill-after", "30", "--kill-pid",
       std::to_string(engine->Process().Pid())},
      {}, std::nullopt, std::chrono::seconds(60));
  ASSERT_EQ(burst.code, 0) << burst.err;
  EXPECT_EQ(engine->Process().Wait(), std::optional<int>(137));

  const std::string store = ExportLeases(*engine);
  std::istringstream acks(burst.out);
  std::string word, mac, ip;
  int count = 0;
  while (acks >> word >> mac >> ip) {
    ++count;
    const size_t at = store.find("[DHCP\\" + ip + "]");
    ASSERT_NE(at, std::string::npos) << ip << " missing:\n" << store;
    const std::string lease = store.substr(at, store.find("\n\n", at) - at);
    EXPECT_NE(lease.find("\"MacAddr\"=\"" + mac + "\""), std::string::npos) << lease;
    EXPECT_NE(lease.find("\"LeasingTime\"=dword:00015180"), std::string::npos) << lease;
    EXPECT_NE(lease.find("\"AssignTime\"=dword:"), std::string::npos) << lease;
  }
  EXPECT_EQ(count, 30);

  // The next engine reads them back: the first client's INIT-REBOOT is acked.
  engine->ExpectExit(0);
  ASSERT_TRUE(RestartDhcpEngine(*engine));
  const std::optional<ProbeReply> ack =
      Probe(network.ClientNs(), network.ClientIf(),
            {"--type", "3", "--mac", "02:00:00:00:00:00", "--opt", "50=10.250.8.10"});
  ASSERT_TRUE(ack.has_value());
  EXPECT_EQ(ack->at("type"), "5");
}

}  // namespace
}  // namespace qlm::test
