// The dispatch tables: names compare exactly; unknown names have no entry.
#include "engine/service/protocol_table.h"

#include <gtest/gtest.h>

namespace qlm::engine {
namespace {

TEST(ProtocolTableTest, StreamNamesCompareExactly) {
  EXPECT_EQ(FindStreamProtocol("Newsgroups"), nullptr);
  EXPECT_EQ(FindStreamProtocol(""), nullptr);
  if (const StreamProtocol* http = FindStreamProtocol("HTTP")) {
    EXPECT_STREQ(http->name, "HTTP");
    EXPECT_NE(http->make_client, nullptr);
    EXPECT_NE(http->thread_proc, nullptr);
    EXPECT_EQ(FindStreamProtocol("http"), nullptr);
    EXPECT_EQ(FindStreamProtocol("HTTP "), nullptr);
  }
  // Datagram daemons never accept.
  EXPECT_EQ(FindStreamProtocol("DNS"), nullptr);
  EXPECT_EQ(FindStreamProtocol("DHCP"), nullptr);
}

TEST(ProtocolTableTest, EveryLinkedLibraryNamesItsEntry) {
  for (const char* name : {"HTTP", "SOCKS"}) {
    const StreamProtocol* entry = FindStreamProtocol(name);
    ASSERT_NE(entry, nullptr) << name;
    EXPECT_STREQ(entry->name, name);
    EXPECT_NE(entry->make_client(), nullptr);
  }
}

TEST(ProtocolTableTest, DatagramRules) {
  const DatagramProtocol* dns = FindDatagramProtocol("DNS");
  ASSERT_NE(dns, nullptr);
  EXPECT_EQ(dns->min_length, 14u);
  const DatagramProtocol* dhcp = FindDatagramProtocol("DHCP");
  ASSERT_NE(dhcp, nullptr);
  EXPECT_EQ(dhcp->min_length, 0u);
  EXPECT_EQ(FindDatagramProtocol("dns"), nullptr);
  EXPECT_EQ(FindDatagramProtocol("Chat"), nullptr);
}

}  // namespace
}  // namespace qlm::engine
