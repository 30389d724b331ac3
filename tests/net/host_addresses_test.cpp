// The host's first address: the daemons of a fresh store listen there, so it
// must be an address other machines of the office can reach.
#include "net/host_addresses.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace qlm::net {
namespace {

InterfaceAddress Entry(const char* dotted, bool up, bool loopback) {
  InterfaceAddress item;
  inet_pton(AF_INET, dotted, &item.address);
  item.up = up;
  item.loopback = loopback;
  return item;
}

TEST(HostAddressesTest, FirstUpNonLoopbackInterfaceWins) {
  EXPECT_EQ(HostFirstAddress({Entry("127.0.0.1", true, true), Entry("10.9.0.2", false, false),
                              Entry("192.168.7.1", true, false), Entry("10.1.0.1", true, false)}),
            "192.168.7.1");
}

TEST(HostAddressesTest, LoopbackOnlyWhenNothingElseIsUp) {
  EXPECT_EQ(HostFirstAddress({Entry("127.0.0.1", true, true), Entry("10.9.0.2", false, false)}),
            "127.0.0.1");
  EXPECT_EQ(HostFirstAddress({}), "127.0.0.1");
}

TEST(HostAddressesTest, NeverTheHostNamesLoopbackAlias) {
  // A stock installation names itself 127.0.1.1; the interfaces know better.
  const std::string first = HostFirstAddress();
  EXPECT_NE(first, "127.0.1.1");
  in_addr address{};
  ASSERT_EQ(inet_pton(AF_INET, first.c_str(), &address), 1);
  EXPECT_TRUE(IsOwnHostAddress(address));
}

}  // namespace
}  // namespace qlm::net
