// The DHCP server serves the inside interface that holds its address and no
// other: a client on the outside network is not answered, and a reply to an
// inside client never leaves by the outside interface, even though the
// outside network holds the engine's default route.
#include <gtest/gtest.h>

#include "tests/e2e/dhcp/dhcp_e2e_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/wait_until.h"

namespace qlm::test {
namespace {

// How long the outside listens for a stray reply, and how long an outside
// client waits for an answer: far beyond the milliseconds a reply takes.
constexpr double kNoReplyWait = 1.5;

TEST(DhcpInterfaceE2eTest, OutsideClientIsNeverAnswered) {
  CDhcpNetwork network(true);
  ASSERT_TRUE(network.Ok());
  auto engine = StartDhcpEngine(network, DhcpRange{});
  ASSERT_NE(engine, nullptr);
  EXPECT_FALSE(Probe(network.OutsideNs(), network.OutsideIf(), {"--type", "1"}, kNoReplyWait));
  EXPECT_FALSE(Probe(network.OutsideNs(), network.OutsideIf(),
                     {"--type", "1", "--to", "10.250.9.1"}, kNoReplyWait));
}

TEST(DhcpInterfaceE2eTest, InsideRepliesNeverLeaveByTheOutsideInterface) {
  CDhcpNetwork network(true);
  ASSERT_TRUE(network.Ok());
  auto engine = StartDhcpEngine(network, DhcpRange{});
  ASSERT_NE(engine, nullptr);
  // A listener on the outside network's client port, bound before the
  // inside client asks.
  CChildProcess outside({"ip", "netns", "exec", network.OutsideNs(), "python3",
                         std::string(QLM_SOURCE_DIR) + "/tests/e2e/dhcp/dhcp_probe.py",
                         "--iface", network.OutsideIf(), "--listen", "--wait", "5"});
  ASSERT_TRUE(WaitUntil([&] { return IsListening("0.0.0.0", 68, true, outside.Pid()); }));
  ASSERT_TRUE(CDhcpNetwork::Sh(CDhcpNetwork::In(network.ClientNs()) +
                               "ip addr add 10.250.8.50/24 dev " + network.ClientIf()));
  for (int i = 1; i <= 3; ++i) {
    const std::optional<ProbeReply> offer =
        Probe(network.ClientNs(), network.ClientIf(),
              {"--type", "1", "--mac", "02:00:00:00:00:0" + std::to_string(i)});
    ASSERT_TRUE(offer.has_value());
  }
  ASSERT_TRUE(outside.Wait(std::chrono::seconds(15)).has_value());
  EXPECT_EQ(outside.Stdout(), "none\n");
}

}  // namespace
}  // namespace qlm::test
