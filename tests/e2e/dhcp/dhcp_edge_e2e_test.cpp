// The DHCP server's edge cases with raw messages from dhcp_probe.py: the
// lowest free address skipping the host's own, SELECTING for another
// server, INIT-REBOOT outside the subnet and without a lease, DECLINE,
// RELEASE, expired short leases taken over, an unknown message type, the
// lease times of LeasingTime 86400, a relay agent, and VerifyIP.
#include <gtest/gtest.h>

#include "tests/e2e/dhcp/dhcp_e2e_fixture.h"

namespace qlm::test {
namespace {

// How long a check that no reply comes listens: the engine answers within
// milliseconds, so a second is far beyond any reply's time.
constexpr double kNoReplyWait = 1.0;

class DhcpEdgeE2eTest : public ::testing::Test {
 protected:
  // The client namespace's interface gets an address outside the range so
  // the raw client can send from it.
  void StartEngine(const DhcpRange& range = DhcpRange{}, const std::string& store_text = "") {
    ASSERT_TRUE(network_.Ok());
    ASSERT_TRUE(CDhcpNetwork::Sh(CDhcpNetwork::In(network_.ClientNs()) +
                                 "ip addr add 10.250.8.50/24 dev " + network_.ClientIf()));
    engine_ = StartDhcpEngine(network_, range, store_text);
    ASSERT_NE(engine_, nullptr);
  }
  std::optional<ProbeReply> Send(std::vector<std::string> args, double wait = 5.0) {
    return Probe(network_.ClientNs(), network_.ClientIf(), args, wait);
  }
  std::string Yiaddr(const std::string& mac, std::vector<std::string> more = {}) {
    more.insert(more.end(), {"--type", "1", "--mac", mac});
    const std::optional<ProbeReply> reply = Send(more);
    return reply ? reply->at("yiaddr") : "none";
  }
  // The store lines of one lease, as qlmreg prints them.
  std::string StoredLease(const std::string& ip) {
    const std::string all = ExportLeases(*engine_);
    const size_t at = all.find("[DHCP\\" + ip + "]");
    if (at == std::string::npos) {
      return "";
    }
    return all.substr(at, all.find("\n\n", at) - at);
  }

  CDhcpNetwork network_;
  std::unique_ptr<EngineUnderTest> engine_;
};

TEST_F(DhcpEdgeE2eTest, LowestFreeAddressesSkipTheHostsOwn) {
  ASSERT_TRUE(network_.Ok());
  ASSERT_TRUE(CDhcpNetwork::Sh(CDhcpNetwork::In(network_.EngineNs()) +
                               "ip addr add 10.250.8.12/24 dev " + network_.EngineIf()));
  StartEngine();
  EXPECT_EQ(Yiaddr("02:00:00:00:00:01"), "10.250.8.10");
  EXPECT_EQ(Yiaddr("02:00:00:00:00:02"), "10.250.8.11");
  EXPECT_EQ(Yiaddr("02:00:00:00:00:03"), "10.250.8.13");
}

TEST_F(DhcpEdgeE2eTest, OfferCarriesLeaseTimesOf86400) {
  StartEngine();
  const std::optional<ProbeReply> offer = Send({"--type", "1", "--xid", "77"});
  ASSERT_TRUE(offer.has_value());
  EXPECT_EQ(offer->at("type"), "2");
  EXPECT_EQ(offer->at("length"), "300");
  EXPECT_EQ(offer->at("lease"), "86400");
  EXPECT_EQ(offer->at("t1"), "43200");
  EXPECT_EQ(offer->at("t2"), "75600");
  EXPECT_EQ(offer->at("mask"), "255.255.255.0");
  EXPECT_EQ(offer->at("routers"), "10.250.8.1");
  EXPECT_EQ(offer->at("dns"), "10.250.8.1");
  EXPECT_EQ(offer->at("server"), "10.250.8.1");
  EXPECT_EQ(offer->at("src"), "10.250.8.1:67");
  // The offered lease holds its address for 15 seconds.
  EXPECT_NE(StoredLease("10.250.8.10").find("\"LeasingTime\"=dword:0000000f"),
            std::string::npos);
}

TEST_F(DhcpEdgeE2eTest, RoutersAndDnsFromTheSettings) {
  DhcpRange range;
  range.extra =
      "\"DefaultGateway\"=hex:00\n\"Gateway\"=\"10.250.8.254\"\n"
      "\"DefaultDNS\"=hex:00\n\"DNS\"=\"9.9.9.9,1.1.1.1\"\n";
  StartEngine(range);
  const std::optional<ProbeReply> offer = Send({"--type", "1"});
  ASSERT_TRUE(offer.has_value());
  EXPECT_EQ(offer->at("routers"), "10.250.8.254");
  EXPECT_EQ(offer->at("dns"), "9.9.9.9,1.1.1.1");
}

TEST_F(DhcpEdgeE2eTest, SelectingAnotherServerGetsNoReplyAndChangesNothing) {
  StartEngine();
  ASSERT_EQ(Yiaddr("02:00:00:00:00:01"), "10.250.8.10");
  const std::string before = StoredLease("10.250.8.10");
  EXPECT_FALSE(Send({"--type", "3", "--mac", "02:00:00:00:00:01", "--opt", "50=10.250.8.10",
                     "--opt", "54=10.250.8.99"},
                    kNoReplyWait));
  EXPECT_EQ(StoredLease("10.250.8.10"), before);
  // The same request naming this server is acknowledged.
  const std::optional<ProbeReply> ack = Send({"--type", "3", "--mac", "02:00:00:00:00:01",
                                              "--opt", "50=10.250.8.10", "--opt",
                                              "54=10.250.8.1"});
  ASSERT_TRUE(ack.has_value());
  EXPECT_EQ(ack->at("type"), "5");
  EXPECT_NE(StoredLease("10.250.8.10").find("\"LeasingTime\"=dword:00015180"),
            std::string::npos);
}

TEST_F(DhcpEdgeE2eTest, InitRebootOutsideTheSubnetIsNakedWithBroadcastFlag) {
  StartEngine();
  const std::optional<ProbeReply> nak = Send({"--type", "3", "--opt", "50=10.1.2.3"});
  ASSERT_TRUE(nak.has_value());
  EXPECT_EQ(nak->at("type"), "6");
  EXPECT_EQ(nak->at("flags"), "32768");
  EXPECT_EQ(nak->at("yiaddr"), "0.0.0.0");
}

TEST_F(DhcpEdgeE2eTest, InitRebootWithoutLeaseIsSilentAndWithholdsTheAddress) {
  StartEngine();
  EXPECT_FALSE(Send({"--type", "3", "--opt", "50=10.250.8.10"}, kNoReplyWait));
  EXPECT_TRUE(engine_->WaitForLog(
      "DHCP server has no record for ip 10.250.8.10. We must renew the client."));
  EXPECT_EQ(Yiaddr("02:00:00:00:00:02", {"--opt", "50=10.250.8.10"}), "10.250.8.11");
}

TEST_F(DhcpEdgeE2eTest, DeclinedAddressIsWithheld) {
  StartEngine();
  EXPECT_FALSE(Send({"--type", "4", "--opt", "50=10.250.8.10"}, kNoReplyWait));
  EXPECT_TRUE(engine_->WaitForLog("DHCP server has received DHCPDECLINE for ip 10.250.8.10"));
  EXPECT_EQ(Yiaddr("02:00:00:00:00:02"), "10.250.8.11");
}

TEST_F(DhcpEdgeE2eTest, ReleaseShortensTheLeaseTo15Seconds) {
  StartEngine();
  ASSERT_EQ(Yiaddr("02:00:00:00:00:01"), "10.250.8.10");
  ASSERT_TRUE(Send({"--type", "3", "--mac", "02:00:00:00:00:01", "--opt", "50=10.250.8.10",
                    "--opt", "54=10.250.8.1"}));
  EXPECT_FALSE(Send({"--type", "7", "--mac", "02:00:00:00:00:01", "--ciaddr", "10.250.8.10"},
                    kNoReplyWait));
  EXPECT_NE(StoredLease("10.250.8.10").find("\"LeasingTime\"=dword:0000000f"),
            std::string::npos);
}

// A released lease and a never-requested offer, both stored long ago with
// their 15 seconds: another client asking for either address gets it.
TEST_F(DhcpEdgeE2eTest, ExpiredShortLeasesGoToTheRequester) {
  ASSERT_TRUE(network_.Ok());
  const std::string seeded =
      "[DHCP\\10.250.8.10]\n\"MacAddr\"=\"aaaa\"\n\"Hostname\"=\"old\"\n"
      "\"AssignTime\"=dword:00000064\n\"LeasingTime\"=dword:0000000f\n\n"
      "[DHCP\\10.250.8.11]\n\"MacAddr\"=\"bbbb\"\n\"Hostname\"=\"\"\n"
      "\"AssignTime\"=dword:00000064\n\"LeasingTime\"=dword:0000000f\n\n";
  StartEngine(DhcpRange{}, seeded);
  EXPECT_EQ(Yiaddr("02:00:00:00:00:03", {"--opt", "50=10.250.8.11"}), "10.250.8.11");
  EXPECT_EQ(Yiaddr("02:00:00:00:00:04", {"--opt", "50=10.250.8.10"}), "10.250.8.10");
  EXPECT_NE(StoredLease("10.250.8.10").find("\"MacAddr\"=\"020000000004\""),
            std::string::npos);
  // Without asking, a new client gets the lowest address never leased.
  EXPECT_EQ(Yiaddr("02:00:00:00:00:05"), "10.250.8.12");
}

TEST_F(DhcpEdgeE2eTest, UnknownMessageTypeIsDiscardedWithItsErrLine) {
  StartEngine();
  EXPECT_FALSE(Send({"--type", "2"}, kNoReplyWait));
  EXPECT_TRUE(engine_->WaitForLog(
      "ERR   DHCP server:DhcpDgClientThreadProc:receive unknown DHCP message type from a "
      "client DHCP message was discarded"));
}

TEST_F(DhcpEdgeE2eTest, RelayedRequestIsAnsweredToGiaddrPort67) {
  StartEngine();
  ASSERT_TRUE(CDhcpNetwork::Sh(CDhcpNetwork::In(network_.ClientNs()) +
                               "ip addr add 10.250.8.77/24 dev " + network_.ClientIf()));
  const std::optional<ProbeReply> offer =
      Send({"--type", "1", "--bind", "10.250.8.77:67", "--to", "10.250.8.1", "--giaddr",
            "10.250.8.77"});
  ASSERT_TRUE(offer.has_value());
  EXPECT_EQ(offer->at("type"), "2");
  EXPECT_EQ(offer->at("giaddr"), "10.250.8.77");
  EXPECT_EQ(offer->at("src"), "10.250.8.1:67");
}

// The client namespace answers pings at the lowest free address.
TEST_F(DhcpEdgeE2eTest, VerifyIpSkipsAnAddressThatAnswersPings) {
  ASSERT_TRUE(network_.Ok());
  ASSERT_TRUE(CDhcpNetwork::Sh(CDhcpNetwork::In(network_.ClientNs()) +
                               "ip addr add 10.250.8.10/24 dev " + network_.ClientIf()));
  DhcpRange range;
  range.verify = true;
  StartEngine(range);
  EXPECT_EQ(Yiaddr("02:00:00:00:00:01"), "10.250.8.11");
  EXPECT_EQ(Yiaddr("02:00:00:00:00:02", {"--opt", "50=10.250.8.10"}), "10.250.8.12");
  EXPECT_EQ(StoredLease("10.250.8.10"), "");
}

}  // namespace
}  // namespace qlm::test
