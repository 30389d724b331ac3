// The lease table over a store of its own: allocation order, provisional
// leases, take-overs, the echo check, INIT-REBOOT, RELEASE, and what the
// store holds after each change.
#include "services/dhcp/dhcp_lease_table.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "qlmstd/qlmstd.h"
#include "services/dhcp/dhcp_lease_store.h"
#include "tests/engine/config/temp_store.h"
#include "tests/services/dhcp/dhcp_test_support.h"

namespace qlm::dhcp {
namespace {

using test::Host;

constexpr uint32_t kDay = 86400;

class DhcpLeaseTableTest : public ::testing::Test {
 protected:
  void SetUpTable(bool verify = false, const char* own = "192.168.0.12",
                  const char* from = "192.168.0.10", const char* to = "192.168.0.20") {
    table_.SetUp(ParseRange(from, to, "255.255.255.0"), verify, {Host(own)});
  }
  std::optional<DhcpLease> Stored(const char* dotted) {
    for (const DhcpLease& lease : ReadLeasesFromStore()) {
      if (lease.address == Host(dotted)) {
        return lease;
      }
    }
    return std::nullopt;
  }

  test::CTempStore store_;
  test::CFakeClock clock_;
  test::CFakeProbe probe_;
  DhcpLeaseTable table_{clock_, &probe_};
};

TEST_F(DhcpLeaseTableTest, FirstThreeClientsSkipTheHostsOwnAddress) {
  SetUpTable();
  EXPECT_EQ(table_.Offer("a", 0, "")->address, Host("192.168.0.10"));
  EXPECT_EQ(table_.Offer("b", 0, "")->address, Host("192.168.0.11"));
  EXPECT_EQ(table_.Offer("c", 0, "")->address, Host("192.168.0.13"));
}

TEST_F(DhcpLeaseTableTest, OfferIsProvisionalAndSaved) {
  SetUpTable();
  const DhcpLease lease = *table_.Offer("0102", 0, "pc1");
  EXPECT_EQ(lease.lease_time, 15u);
  EXPECT_EQ(lease.assign_time, clock_.Now());
  EXPECT_EQ(lease.host_name, "pc1");
  EXPECT_EQ(Stored("192.168.0.10"), lease);
  EXPECT_EQ(table_.FindClient("0102"), lease);
}

TEST_F(DhcpLeaseTableTest, StoreLayoutIsOneSubkeyPerLease) {
  SetUpTable();
  table_.Offer("0a0b", 0, "host");
  const qlmstd::CStoreKey key =
      qlmstd::CQlmstd::GetAppSubSectionKey("DHCP", "192.168.0.10");
  char text[64] = {};
  ASSERT_TRUE(qlmstd::CQlmstd::GetRegString(key, "MacAddr", text, sizeof text));
  EXPECT_STREQ(text, "0a0b");
  ASSERT_TRUE(qlmstd::CQlmstd::GetRegString(key, "Hostname", text, sizeof text));
  EXPECT_STREQ(text, "host");
  EXPECT_EQ(qlmstd::CQlmstd::GetRegInt(key, "AssignTime"), clock_.Now());
  EXPECT_EQ(qlmstd::CQlmstd::GetRegInt(key, "LeasingTime"), 15u);
}

TEST_F(DhcpLeaseTableTest, SameClientGetsItsAddressAgainEvenExpired) {
  SetUpTable();
  const uint32_t first = table_.Offer("a", 0, "")->address;
  ASSERT_TRUE(table_.Confirm("a", first, 60));
  clock_.Advance(1000);
  table_.Offer("b", 0, "");
  EXPECT_EQ(table_.Offer("a", 0, "")->address, first);
}

TEST_F(DhcpLeaseTableTest, ProvisionalLeaseHoldsFor15SecondsThenGoesToARequester) {
  SetUpTable();
  table_.Offer("a", 0, "");  // .10, never requested
  clock_.Advance(15);
  // Not yet expired at exactly 15 seconds: the requester gets another address.
  EXPECT_EQ(table_.Offer("b", Host("192.168.0.10"), "")->address, Host("192.168.0.11"));
  clock_.Advance(1);
  const DhcpLease taken = *table_.Offer("c", Host("192.168.0.10"), "pc");
  EXPECT_EQ(taken.address, Host("192.168.0.10"));
  EXPECT_EQ(taken.client_id, "c");
  EXPECT_FALSE(table_.FindClient("a").has_value());
  EXPECT_EQ(Stored("192.168.0.10")->client_id, "c");
}

TEST_F(DhcpLeaseTableTest, InfiniteLeaseIsNeverTakenOver) {
  SetUpTable();
  const uint32_t address = table_.Offer("a", 0, "")->address;
  ASSERT_TRUE(table_.Confirm("a", address, kInfiniteLease));
  clock_.Advance(10 * kDay);
  EXPECT_NE(table_.Offer("b", address, "")->address, address);
}

TEST_F(DhcpLeaseTableTest, RequestedFreeAddressIsGiven) {
  SetUpTable();
  EXPECT_EQ(table_.Offer("a", Host("192.168.0.17"), "")->address, Host("192.168.0.17"));
  EXPECT_TRUE(table_.IsMarked(Host("192.168.0.17")));
  // Outside the range, or the host's own: the lowest free instead.
  EXPECT_EQ(table_.Offer("b", Host("192.168.0.30"), "")->address, Host("192.168.0.10"));
  EXPECT_EQ(table_.Offer("c", Host("192.168.0.12"), "")->address, Host("192.168.0.11"));
}

TEST_F(DhcpLeaseTableTest, EchoAnsweringAddressIsSkippedForTheRun) {
  SetUpTable(true);
  probe_.Answer("192.168.0.10");
  EXPECT_EQ(table_.Offer("a", 0, "")->address, Host("192.168.0.11"));
  EXPECT_FALSE(table_.Find(Host("192.168.0.10")).has_value());
  EXPECT_FALSE(Stored("192.168.0.10").has_value());
  EXPECT_EQ(table_.Offer("b", 0, "")->address, Host("192.168.0.13"));
  EXPECT_EQ(table_.Offer("c", Host("192.168.0.10"), "")->address, Host("192.168.0.14"));
}

TEST_F(DhcpLeaseTableTest, WithoutVerifyNoEchoIsSent) {
  SetUpTable(false);
  probe_.Answer("192.168.0.10");
  EXPECT_EQ(table_.Offer("a", 0, "")->address, Host("192.168.0.10"));
  EXPECT_TRUE(probe_.Asked().empty());
}

TEST_F(DhcpLeaseTableTest, FullRangeTakesTheFirstExpiredLease) {
  SetUpTable(false, "10.0.0.1", "192.168.0.10", "192.168.0.11");
  table_.Offer("a", 0, "");
  table_.Offer("b", 0, "");
  ASSERT_TRUE(table_.Confirm("b", Host("192.168.0.11"), 100));
  EXPECT_FALSE(table_.Offer("c", 0, "").has_value());
  clock_.Advance(16);
  const DhcpLease lease = *table_.Offer("c", 0, "");
  EXPECT_EQ(lease.address, Host("192.168.0.10"));
  EXPECT_FALSE(table_.FindClient("a").has_value());
  EXPECT_EQ(table_.FindClient("b")->address, Host("192.168.0.11"));
}

TEST_F(DhcpLeaseTableTest, ConfirmNeedsTheSameClient) {
  SetUpTable();
  const uint32_t address = table_.Offer("a", 0, "")->address;
  EXPECT_FALSE(table_.Confirm("b", address, kDay));
  EXPECT_FALSE(table_.Confirm("a", Host("192.168.0.15"), kDay));
  EXPECT_TRUE(table_.Confirm("a", address, kDay));
  EXPECT_EQ(Stored("192.168.0.10")->lease_time, kDay);
}

TEST_F(DhcpLeaseTableTest, InitRebootAnswers) {
  SetUpTable();
  const uint32_t address = table_.Offer("a", 0, "")->address;
  EXPECT_EQ(table_.CheckInitReboot("a", Host("10.1.1.1"), kDay), 0);
  EXPECT_EQ(table_.CheckInitReboot("a", Host("192.168.0.12"), kDay), 0);
  EXPECT_EQ(table_.CheckInitReboot("b", address, kDay), 0);
  EXPECT_EQ(table_.CheckInitReboot("a", Host("192.168.0.15"), kDay), -1);
  clock_.Advance(100);
  EXPECT_EQ(table_.CheckInitReboot("a", address, kDay), 1);
  EXPECT_EQ(Stored("192.168.0.10")->lease_time, kDay);
  EXPECT_EQ(Stored("192.168.0.10")->assign_time, clock_.Now());
}

TEST_F(DhcpLeaseTableTest, MarkedAddressIsWithheld) {
  SetUpTable();
  table_.MarkUsed(Host("192.168.0.10"));
  table_.MarkUsed(Host("192.168.1.10"));  // outside: nothing
  EXPECT_EQ(table_.Offer("a", 0, "")->address, Host("192.168.0.11"));
  EXPECT_EQ(table_.Offer("b", Host("192.168.0.10"), "")->address, Host("192.168.0.13"));
}

TEST_F(DhcpLeaseTableTest, ReleasedAddressGoesToAnotherClient15SecondsLater) {
  SetUpTable();
  const uint32_t address = table_.Offer("a", 0, "")->address;
  ASSERT_TRUE(table_.Confirm("a", address, kDay));
  table_.Release("b", address);  // not its lease: nothing
  EXPECT_EQ(Stored("192.168.0.10")->lease_time, kDay);
  table_.Release("a", address);
  EXPECT_EQ(Stored("192.168.0.10")->lease_time, 15u);
  clock_.Advance(16);
  EXPECT_EQ(table_.Offer("b", address, "")->address, address);
}

TEST_F(DhcpLeaseTableTest, LoadReadsLeasesBack) {
  SetUpTable();
  table_.Offer("a", 0, "one");
  table_.Confirm("a", Host("192.168.0.10"), kDay);
  table_.Offer("b", 0, "two");
  DhcpLeaseTable again(clock_, &probe_);
  again.SetUp(ParseRange("192.168.0.10", "192.168.0.20", "255.255.255.0"), false,
              {Host("192.168.0.12")});
  EXPECT_EQ(again.Size(), 2u);
  EXPECT_EQ(again.FindClient("a")->host_name, "one");
  EXPECT_EQ(again.CheckInitReboot("a", Host("192.168.0.10"), kDay), 1);
  EXPECT_EQ(again.Offer("c", 0, "")->address, Host("192.168.0.13"));
}

TEST_F(DhcpLeaseTableTest, LoadSkipsIncompleteSubkeys) {
  const qlmstd::CStoreKey section = qlmstd::CQlmstd::GetAppSectionKey("DHCP");
  section.Open("192.168.0.10", true).SetString("MacAddr", "aa");   // no Hostname
  section.Open("192.168.0.11", true).SetString("Hostname", "x");   // no MacAddr
  qlmstd::CStoreKey full = section.Open("192.168.0.13", true);
  full.SetString("MacAddr", "cc");
  full.SetString("Hostname", std::string(40, 'h'));
  full.SetDword("AssignTime", 1);
  full.SetDword("LeasingTime", 15);
  section.Open("not-an-address", true).SetString("MacAddr", "dd");
  SetUpTable();
  EXPECT_EQ(table_.Size(), 1u);
  EXPECT_EQ(table_.FindClient("cc")->host_name, std::string(31, 'h'));
  EXPECT_EQ(table_.Offer("z", 0, "")->address, Host("192.168.0.10"));
}

TEST_F(DhcpLeaseTableTest, BadRangesOfferNothing) {
  EXPECT_FALSE(ParseRange("", "192.168.0.20", "255.255.255.0"));
  EXPECT_FALSE(ParseRange("192.168.0.20", "192.168.0.10", "255.255.255.0"));
  EXPECT_FALSE(ParseRange("192.168.0.10", "192.168.1.10", "255.255.255.0"));
  EXPECT_FALSE(ParseRange("10.0.0.0", "10.255.255.255", "0.0.0.0"));
  EXPECT_TRUE(ParseRange("10.0.0.0", "10.0.255.255", "255.255.0.0"));
  table_.SetUp(std::nullopt, false, {});
  EXPECT_FALSE(table_.Offer("a", 0, "").has_value());
  EXPECT_FALSE(table_.Offer("a", Host("10.0.0.1"), "").has_value());
}

TEST_F(DhcpLeaseTableTest, UnusedBitsOfTheLastByteAreNeverHandedOut) {
  SetUpTable(false, "10.0.0.1", "192.168.0.10", "192.168.0.12");
  EXPECT_TRUE(table_.Offer("a", 0, ""));
  EXPECT_TRUE(table_.Offer("b", 0, ""));
  EXPECT_TRUE(table_.Offer("c", 0, ""));
  EXPECT_FALSE(table_.Offer("d", 0, "").has_value());
}

TEST_F(DhcpLeaseTableTest, LaterStoredLeaseOfAClientTakesItsIndexEntry) {
  const qlmstd::CStoreKey section = qlmstd::CQlmstd::GetAppSectionKey("DHCP");
  for (const char* address : {"192.168.0.14", "192.168.0.16"}) {
    qlmstd::CStoreKey key = section.Open(address, true);
    key.SetString("MacAddr", "same");
    key.SetString("Hostname", "");
    key.SetDword("AssignTime", clock_.Now());
    key.SetDword("LeasingTime", kDay);
  }
  SetUpTable();
  EXPECT_EQ(table_.Size(), 2u);
  EXPECT_EQ(table_.FindClient("same")->address, Host("192.168.0.16"));
  EXPECT_TRUE(table_.IsMarked(Host("192.168.0.14")));
  EXPECT_EQ(table_.Offer("same", 0, "")->address, Host("192.168.0.16"));
}

TEST_F(DhcpLeaseTableTest, OwnLeaseAnsweringTheEchoIsDroppedForANewAddress) {
  SetUpTable(true);
  ASSERT_EQ(table_.Offer("a", 0, "")->address, Host("192.168.0.10"));
  probe_.Answer("192.168.0.10");  // another machine took the address meanwhile
  EXPECT_EQ(table_.Offer("a", 0, "")->address, Host("192.168.0.11"));
  EXPECT_FALSE(Stored("192.168.0.10").has_value());
  EXPECT_TRUE(table_.IsMarked(Host("192.168.0.10")));
}

TEST_F(DhcpLeaseTableTest, ExpiredRequestedLeaseAnsweringTheEchoIsDropped) {
  SetUpTable(true);
  ASSERT_EQ(table_.Offer("a", 0, "")->address, Host("192.168.0.10"));
  clock_.Advance(16);
  probe_.Answer("192.168.0.10");
  EXPECT_EQ(table_.Offer("b", Host("192.168.0.10"), "")->address, Host("192.168.0.11"));
  EXPECT_FALSE(table_.Find(Host("192.168.0.10")).has_value());
  EXPECT_FALSE(table_.FindClient("a").has_value());
}

TEST_F(DhcpLeaseTableTest, ConcurrentClientsNeverShareAnAddress) {
  table_.SetUp(ParseRange("10.0.0.1", "10.0.0.100", "255.255.255.0"), false, {});
  std::vector<std::thread> threads;
  std::vector<std::vector<uint32_t>> got(4);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t, &got] {
      for (int i = 0; i < 10; ++i) {
        const std::string id = std::to_string(t) + "-" + std::to_string(i);
        const std::optional<DhcpLease> lease = table_.Offer(id, 0, "");
        if (lease && table_.Confirm(id, lease->address, kDay)) {
          got[t].push_back(lease->address);
        }
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  std::set<uint32_t> distinct;
  for (const auto& addresses : got) {
    distinct.insert(addresses.begin(), addresses.end());
  }
  EXPECT_EQ(distinct.size(), 40u);
  EXPECT_EQ(ReadLeasesFromStore().size(), 40u);
}

}  // namespace
}  // namespace qlm::dhcp
