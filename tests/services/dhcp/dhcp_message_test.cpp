// Reading DHCP requests and building replies, byte by byte.
#include "services/dhcp/dhcp_message.h"

#include <gtest/gtest.h>

#include "tests/services/dhcp/dhcp_test_support.h"

namespace qlm::dhcp {
namespace {

using test::CDhcpRequest;

uint32_t Get32(const DhcpBuffer& b, size_t at) {
  return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 |
         static_cast<uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

TEST(DhcpMessageTest, MessageTypeAfterPads) {
  DhcpBuffer b = CDhcpRequest(0).Buffer();
  b[240] = 0;  // pad
  b[241] = 0;  // pad
  b[242] = 53;
  b[243] = 1;
  b[244] = 3;
  b[245] = 255;
  EXPECT_EQ(MessageType(b), 3);
}

TEST(DhcpMessageTest, NoTypeAfterEndOption) {
  DhcpBuffer b = CDhcpRequest(0).Buffer();
  b[240] = 255;
  b[241] = 53;
  b[242] = 1;
  b[243] = 1;
  EXPECT_EQ(MessageType(b), 0);
}

TEST(DhcpMessageTest, OptionRunningPastTheBufferIsAbsent) {
  DhcpBuffer b{};
  b[540] = 61;   // client id
  b[541] = 20;   // would end at byte 562
  EXPECT_FALSE(FindOption(b, 61).has_value());
  b[546] = 61;  // the length byte would be byte 547, its data past the end
  b[540] = 0;
  b[547] = 1;
  EXPECT_FALSE(FindOption(b, 61).has_value());
}

TEST(DhcpMessageTest, ShortDatagramReadsAsZeros) {
  const char bytes[] = {1, 1, 6};
  const DhcpBuffer b = MakeRequestBuffer(bytes, sizeof bytes);
  EXPECT_EQ(MessageType(b), 0);
  EXPECT_EQ(ClientId(b), "000000000000");
}

TEST(DhcpMessageTest, LongDatagramKeepsFirst548Bytes) {
  std::vector<char> bytes(1000, 0x11);
  const DhcpBuffer b = MakeRequestBuffer(bytes.data(), bytes.size());
  EXPECT_EQ(b[547], 0x11);
}

TEST(DhcpMessageTest, ClientIdIsOption61InHexWithTypeByte) {
  const DhcpBuffer b = CDhcpRequest(1).Option(61, {0x01, 0xAB, 0x00, 0x0f}).Buffer();
  EXPECT_EQ(ClientId(b), "01ab000f");
}

TEST(DhcpMessageTest, ClientIdFallsBackToChaddr) {
  EXPECT_EQ(ClientId(CDhcpRequest(1).Buffer()), "020000aabb01");
  EXPECT_EQ(ClientId(CDhcpRequest(1).Option(61, {}).Buffer()), "020000aabb01");
}

TEST(DhcpMessageTest, HlenAbove16TakesTheWholeChaddr) {
  DhcpBuffer b = CDhcpRequest(1).Buffer();
  b[2] = 200;
  EXPECT_EQ(ClientId(b).size(), 32u);
}

TEST(DhcpMessageTest, XidPrintsAsLittleEndianSigned) {
  EXPECT_EQ(XidNumber(CDhcpRequest(1, 0x01020304).Buffer()), 0x04030201);
  EXPECT_EQ(XidNumber(CDhcpRequest(1, 0x000000FF).Buffer()), static_cast<int32_t>(0xFF000000));
}

TEST(DhcpMessageTest, HostNameCutTo31AndAtNul) {
  std::vector<uint8_t> long_name(40, 'a');
  EXPECT_EQ(HostName(CDhcpRequest(1).Option(12, long_name).Buffer()), std::string(31, 'a'));
  EXPECT_EQ(HostName(CDhcpRequest(1).Option(12, {'p', 'c', 0, 'x'}).Buffer()), "pc");
  EXPECT_EQ(HostName(CDhcpRequest(1).Buffer()), "");
}

TEST(DhcpMessageTest, AddressOptionNeedsFourBytes) {
  EXPECT_FALSE(AddressOption(CDhcpRequest(1).Option(50, {10, 0, 0}).Buffer(), 50));
  EXPECT_EQ(AddressOption(CDhcpRequest(1).AddressOption(50, "10.0.0.7").Buffer(), 50),
            inet_addr("10.0.0.7"));
}

TEST(DhcpMessageTest, OfferLayoutWithLeasingTime86400) {
  const DhcpBuffer request = CDhcpRequest(1, 0xdeadbeef)
                                 .Flags(0x8000)
                                 .Field(kOffGiaddr, "10.9.8.7")
                                 .Field(kOffCiaddr, "1.2.3.4")
                                 .Buffer();
  ReplyOptions options;
  options.netmask = inet_addr("255.255.255.0");
  options.lease_time = 86400;
  options.server_id = inet_addr("192.168.0.1");
  options.routers = {options.server_id};
  options.dns_servers = {inet_addr("8.8.8.8"), inet_addr("8.8.4.4")};
  const Reply r = BuildOfferOrAck(request, kDhcpOffer, inet_addr("192.168.0.10"), options);
  const DhcpBuffer& b = r.bytes;
  EXPECT_EQ(b[0], 2);                       // op
  EXPECT_EQ(b[1], 1);                       // htype
  EXPECT_EQ(b[2], 6);                       // hlen
  EXPECT_EQ(b[3], 0);                       // hops
  EXPECT_EQ(Get32(b, 4), 0xdeadbeefu);      // xid
  EXPECT_EQ(Get32(b, 8), 0x00008000u);      // secs 0, flags copied
  EXPECT_EQ(Get32(b, 12), 0u);              // ciaddr
  EXPECT_EQ(Get32(b, 16), 0xC0A8000Au);     // yiaddr
  EXPECT_EQ(Get32(b, 20), 0u);              // siaddr
  EXPECT_EQ(Get32(b, 24), 0x0A090807u);     // giaddr copied
  EXPECT_EQ(b[28], 0x02);                   // chaddr
  EXPECT_EQ(b[33], 0x01);
  EXPECT_EQ(Get32(b, 236), 0x63825363u);    // cookie
  const std::vector<uint8_t> options_wanted = {
      53, 1, 2,                    // OFFER
      1, 4, 255, 255, 255, 0,      // mask
      58, 4, 0, 0, 0xA8, 0xC0,     // T1 43200
      59, 4, 0, 1, 0x27, 0x50,     // T2 75600
      51, 4, 0, 1, 0x51, 0x80,     // lease 86400
      54, 4, 192, 168, 0, 1,       // server id
      3, 4, 192, 168, 0, 1,        // router
      6, 8, 8, 8, 8, 8, 8, 8, 4, 4,  // DNS
      255};
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 240, b.begin() + 240 + options_wanted.size()),
            options_wanted);
  EXPECT_EQ(r.used, 240 + options_wanted.size());
  EXPECT_EQ(SendLength(r), 300u);
}

TEST(DhcpMessageTest, InfiniteLeaseTimes) {
  EXPECT_EQ(RenewalTime(kInfiniteLease), 0x1FFFFFFEu);
  EXPECT_EQ(RebindingTime(kInfiniteLease), 0x1FFFFFFFu);
  EXPECT_EQ(RenewalTime(86400), 43200u);
  EXPECT_EQ(RebindingTime(86400), 75600u);
  // 7 x lease time taken modulo 2^32.
  EXPECT_EQ(RebindingTime(0x40000000), static_cast<uint32_t>(7u * 0x40000000u) / 8);
}

TEST(DhcpMessageTest, NakLayout) {
  const DhcpBuffer request = CDhcpRequest(3, 0x11223344)
                                 .Field(kOffCiaddr, "1.2.3.4")
                                 .Field(kOffGiaddr, "10.0.0.1")
                                 .Buffer();
  const Reply r = BuildNak(request, inet_addr("192.168.0.1"));
  const DhcpBuffer& b = r.bytes;
  EXPECT_EQ(b[0], 2);
  EXPECT_EQ(Get32(b, 4), 0x11223344u);
  EXPECT_EQ(Get32(b, 8), 0x00008000u);
  EXPECT_EQ(Get32(b, 12), 0u);
  EXPECT_EQ(Get32(b, 16), 0u);
  EXPECT_EQ(Get32(b, 24), 0x0A000001u);
  const std::vector<uint8_t> wanted = {53, 1, 6, 54, 4, 192, 168, 0, 1, 255};
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 240, b.begin() + 250), wanted);
  EXPECT_EQ(r.used, 250u);
}

TEST(DhcpMessageTest, AddressListStopsAtFirstBadItem) {
  EXPECT_EQ(AddressList("10.0.0.1,10.0.0.2"),
            (std::vector<uint32_t>{inet_addr("10.0.0.1"), inet_addr("10.0.0.2")}));
  EXPECT_EQ(AddressList("10.0.0.1, 10.0.0.2 ,x,10.0.0.3").size(), 2u);
  EXPECT_EQ(AddressList("10.0.0.1,").size(), 1u);
  EXPECT_TRUE(AddressList("").empty());
  // Each item is cut to 15 characters first.
  EXPECT_EQ(AddressList("192.168.100.1000"),
            (std::vector<uint32_t>{inet_addr("192.168.100.100")}));
}

TEST(DhcpMessageTest, LongAddressListsFitBeforeByte548AndAreSentWhole) {
  std::string many;
  for (int i = 1; i <= 80; ++i) {
    many += "10.0.0." + std::to_string(i) + ",";
  }
  ReplyOptions options;
  options.routers = AddressList(many);
  options.dns_servers = AddressList(many);
  const Reply r = BuildOfferOrAck(CDhcpRequest(1).Buffer(), kDhcpAck, 0, options);
  EXPECT_LE(r.used, kMessageSize);
  EXPECT_EQ(r.bytes[r.used - 1], 255);
  EXPECT_EQ(SendLength(r), r.used);
  const std::optional<OptionView> routers = FindOption(r.bytes, kOptRouters);
  ASSERT_TRUE(routers.has_value());
  EXPECT_EQ(routers->length, 252u);  // 63 addresses: one option's most
}

TEST(DhcpMessageTest, EmptyRouterListAddsNoOption) {
  ReplyOptions options;
  const Reply r = BuildOfferOrAck(CDhcpRequest(1).Buffer(), kDhcpOffer, 0, options);
  EXPECT_FALSE(FindOption(r.bytes, kOptRouters).has_value());
  EXPECT_FALSE(FindOption(r.bytes, kOptDnsServers).has_value());
}

}  // namespace
}  // namespace qlm::dhcp
