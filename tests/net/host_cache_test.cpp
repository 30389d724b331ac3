// The host cache and the socket class's name calls on top of it, with a
// counting fake resolver and a fake clock (no DNS is ever asked).
#include "net/host_cache.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <map>

#include "net/blocking_socket.h"

namespace qlm::net {
namespace {

in_addr Ip(const char* dotted) {
  in_addr address{};
  inet_pton(AF_INET, dotted, &address);
  return address;
}

class CountingResolver : public IResolver {
 public:
  std::optional<HostEntry> ByName(const std::string& name) override {
    ++by_name;
    auto found = names.find(name);
    if (found == names.end() && any_name) {
      HostEntry entry;
      entry.name = name;
      entry.addresses.push_back(Ip("127.0.0.9"));
      return entry;
    }
    if (found == names.end()) {
      return std::nullopt;
    }
    HostEntry entry;
    entry.name = name;
    entry.addresses.push_back(Ip(found->second.c_str()));
    return entry;
  }
  std::optional<HostEntry> ByAddress(in_addr address) override {
    ++by_address;
    auto found = reverse.find(address.s_addr);
    if (found == reverse.end()) {
      return std::nullopt;
    }
    HostEntry entry;
    entry.name = found->second;
    entry.addresses.push_back(address);
    return entry;
  }

  std::map<std::string, std::string> names;
  std::map<uint32_t, std::string> reverse;
  bool any_name = false;  // every name resolves to 127.0.0.9
  std::atomic<int> by_name{0};
  std::atomic<int> by_address{0};
};

class HostCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resolver_ = std::make_shared<CountingResolver>();
    resolver_->names["gateway.test"] = "127.0.0.9";
    resolver_->reverse[Ip("127.0.0.7").s_addr] = "seven.test";
    cache_.SetResolver(resolver_);
    cache_.SetClock([this] { return now_; });
  }

  std::shared_ptr<CountingResolver> resolver_;
  std::time_t now_ = 1000000;
  CHostCache cache_;
};

TEST_F(HostCacheTest, DefaultCacheTimeIsThreeHours) {
  CHostCache fresh;
  EXPECT_EQ(fresh.CacheTime(), 10800u);
  EXPECT_EQ(CHostCache::kDefaultCacheTime, 10800u);
}

TEST_F(HostCacheTest, ForwardLookupIsCachedUntilCacheTimePasses) {
  HostEntry first = cache_.Lookup("gateway.test");
  ASSERT_EQ(first.addresses.size(), 1u);
  EXPECT_EQ(first.fetched, now_);
  now_ += 10800;  // still within CacheTime
  EXPECT_EQ(cache_.Lookup("gateway.test").addresses[0].s_addr, Ip("127.0.0.9").s_addr);
  EXPECT_EQ(resolver_->by_name, 1);
  now_ += 1;
  resolver_->names["gateway.test"] = "127.0.0.10";
  EXPECT_EQ(cache_.Lookup("gateway.test").addresses[0].s_addr, Ip("127.0.0.10").s_addr);
  EXPECT_EQ(resolver_->by_name, 2);
}

TEST_F(HostCacheTest, ForwardKeysAreCaseSensitiveAndFailuresAreNotStored) {
  cache_.Lookup("gateway.test");
  EXPECT_TRUE(cache_.Lookup("GATEWAY.test").Empty());
  EXPECT_TRUE(cache_.Lookup("GATEWAY.test").Empty());
  EXPECT_EQ(resolver_->by_name, 3);
  EXPECT_TRUE(cache_.Lookup(nullptr).Empty());
  EXPECT_EQ(resolver_->by_name, 3);
}

TEST_F(HostCacheTest, EntryFromTheFutureIsNotTrusted) {
  cache_.Lookup("gateway.test");
  now_ -= 5;  // clock set back: 0 <= age fails
  cache_.Lookup("gateway.test");
  EXPECT_EQ(resolver_->by_name, 2);
}

TEST_F(HostCacheTest, FailedReverseLookupIsAnsweredFromTheCache) {
  EXPECT_EQ(cache_.ReverseLookup(Ip("127.0.0.5")), "127.0.0.5");
  EXPECT_EQ(cache_.ReverseLookup(Ip("127.0.0.5")), "127.0.0.5");
  EXPECT_EQ(resolver_->by_address, 1);
  now_ += 10801;
  EXPECT_EQ(cache_.ReverseLookup(Ip("127.0.0.5")), "127.0.0.5");
  EXPECT_EQ(resolver_->by_address, 2);
}

TEST_F(HostCacheTest, ReverseLookupReturnsTheNameAndHonoursCacheTime) {
  cache_.SetCacheTime(60);
  EXPECT_EQ(cache_.CacheTime(), 60u);
  EXPECT_EQ(cache_.ReverseLookup(Ip("127.0.0.7")), "seven.test");
  now_ += 60;
  EXPECT_EQ(cache_.ReverseLookup(Ip("127.0.0.7")), "seven.test");
  EXPECT_EQ(resolver_->by_address, 1);
  now_ += 1;
  resolver_->reverse.clear();  // the name has gone: the failure replaces it
  EXPECT_EQ(cache_.ReverseLookup(Ip("127.0.0.7")), "127.0.0.7");
  EXPECT_EQ(resolver_->by_address, 2);
}

TEST_F(HostCacheTest, ClearForgetsEverything) {
  cache_.Lookup("gateway.test");
  cache_.ReverseLookup(Ip("127.0.0.7"));
  cache_.Clear();
  cache_.Lookup("gateway.test");
  cache_.ReverseLookup(Ip("127.0.0.7"));
  EXPECT_EQ(resolver_->by_name, 2);
  EXPECT_EQ(resolver_->by_address, 2);
}

// Names come from clients, so the maps are bounded: a full map drops stale
// entries first, else its oldest, and never a fresh recent one.
TEST_F(HostCacheTest, AFullForwardMapDropsItsOldestEntry) {
  resolver_->any_name = true;
  for (size_t i = 0; i < CHostCache::kMaxEntries; ++i) {
    cache_.Lookup(("n" + std::to_string(i) + ".test").c_str());
    ++now_;
  }
  cache_.Lookup("one-more.test");
  const int resolved = resolver_->by_name;
  cache_.Lookup("n1.test");
  cache_.Lookup("one-more.test");
  EXPECT_EQ(resolver_->by_name, resolved) << "recent entries were dropped";
  cache_.Lookup("n0.test");
  EXPECT_EQ(resolver_->by_name, resolved + 1) << "the oldest entry was kept";
}

TEST_F(HostCacheTest, AFullReverseMapMakesRoomFromItsStaleEntries) {
  cache_.SetCacheTime(100);
  constexpr uint32_t kHalf = CHostCache::kMaxEntries / 2;
  for (uint32_t i = 0; i < CHostCache::kMaxEntries; ++i) {
    if (i == kHalf) {
      now_ += 101;  // the first half goes stale
    }
    cache_.ReverseLookup(in_addr{htonl(0x0a000000u + i)});
  }
  // Room for as many new clients as there were stale entries, and every
  // fresh entry still answered without the resolver.
  for (uint32_t i = 0; i < kHalf; ++i) {
    cache_.ReverseLookup(in_addr{htonl(0x0b000000u + i)});
  }
  const int resolved = resolver_->by_address;
  for (uint32_t i = kHalf; i < CHostCache::kMaxEntries; ++i) {
    cache_.ReverseLookup(in_addr{htonl(0x0a000000u + i)});
  }
  EXPECT_EQ(resolver_->by_address, resolved);
}

// The socket class's calls go through the engine's instance.
class HostNameCallsTest : public HostCacheTest {
 protected:
  void SetUp() override {
    HostCacheTest::SetUp();
    CHostCache& engine = CHostCache::Instance();
    engine.Clear();
    engine.SetResolver(resolver_);
    engine.SetClock([this] { return now_; });
  }
  void TearDown() override {
    CHostCache& engine = CHostCache::Instance();
    engine.SetResolver(nullptr);
    engine.SetClock(nullptr);
    engine.Clear();
  }
};

TEST_F(HostNameCallsTest, ResolveAddressKeepsThePortForDottedText) {
  sockaddr_in address = MakeAddress("127.0.0.1", 8080);
  ASSERT_TRUE(CBlockingSocket::ResolveAddress("127.0.0.3", &address));
  EXPECT_EQ(DottedAddress(address.sin_addr), "127.0.0.3");
  EXPECT_EQ(ntohs(address.sin_port), 8080);
  EXPECT_EQ(resolver_->by_name, 0);
}

TEST_F(HostNameCallsTest, ResolveAddressZeroesThePortForAName) {
  sockaddr_in address = MakeAddress("127.0.0.1", 8080);
  ASSERT_TRUE(CBlockingSocket::ResolveAddress("gateway.test", &address));
  EXPECT_EQ(DottedAddress(address.sin_addr), "127.0.0.9");
  EXPECT_EQ(address.sin_port, 0);
  EXPECT_EQ(address.sin_family, AF_INET);
}

TEST_F(HostNameCallsTest, ResolveAddressFailsWithoutText) {
  sockaddr_in address = MakeAddress("127.0.0.1", 8080);
  EXPECT_FALSE(CBlockingSocket::ResolveAddress(nullptr, &address));
  EXPECT_FALSE(CBlockingSocket::ResolveAddress("nowhere.test", &address));
  EXPECT_EQ(DottedAddress(address.sin_addr), "127.0.0.1");
  EXPECT_EQ(ntohs(address.sin_port), 8080);
}

TEST_F(HostNameCallsTest, GetHostByNameSetsThePortOrThrows) {
  sockaddr_in address = CBlockingSocket::GetHostByName("gateway.test", 25);
  EXPECT_EQ(ntohs(address.sin_port), 25);
  EXPECT_EQ(DottedAddress(address.sin_addr), "127.0.0.9");
  try {
    CBlockingSocket::GetHostByName("nowhere.test", 25);
    ADD_FAILURE() << "no exception";
  } catch (const CBlockingSocketException& e) {
    EXPECT_EQ(e.Message(), "CBlockingSocket::GetHostByName");
    EXPECT_EQ(e.ErrorCode(), 11001);
  }
}

TEST_F(HostNameCallsTest, LookupHostNameIsCutToSize) {
  sockaddr_in address = MakeAddress("127.0.0.7", 0);
  EXPECT_EQ(CBlockingSocket::LookupHostName(address), "seven.test");
  EXPECT_EQ(CBlockingSocket::LookupHostName(address, 6), "seven");
  EXPECT_EQ(CBlockingSocket::LookupHostName(address, 0), "");
  EXPECT_EQ(resolver_->by_address, 1);
}

TEST(SystemResolverTest, LoopbackNameAndAddressResolve) {
  CHostCache cache;
  HostEntry entry = cache.Lookup("localhost");
  ASSERT_FALSE(entry.addresses.empty());
  EXPECT_EQ(entry.addresses[0].s_addr, htonl(INADDR_LOOPBACK));
  EXPECT_FALSE(cache.ReverseLookup(Ip("127.0.0.1")).empty());
  EXPECT_TRUE(cache.Lookup("no-such-host.invalid").Empty());
}

}  // namespace
}  // namespace qlm::net
