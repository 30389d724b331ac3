// The handshake parsers fed whole, split at every offset and byte by byte,
// plus the limits: 255 kept user-id characters, empty method lists, IPv6,
// unknown commands and address types, short or odd UDP headers.
#include "proxies/socks/socks_parse.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qlm::socks {
namespace {

using Bytes = std::vector<uint8_t>;

// Feeds `bytes` in two pieces split at `split`; returns the final status and
// how many bytes were consumed in all.
template <typename Parser>
ParseStatus FeedSplit(Parser& parser, const Bytes& bytes, size_t split, size_t* consumed) {
  size_t used = 0;
  ParseStatus status = parser.Feed(bytes.data(), split, &used);
  *consumed = used;
  if (status != ParseStatus::kNeedMore) {
    return status;
  }
  status = parser.Feed(bytes.data() + split, bytes.size() - split, &used);
  *consumed += used;
  return status;
}

const Bytes kSocks4Connect = {
    0x04,                    // VN
    0x01,                    // CD CONNECT
    0x00, 0x50,              // DSTPORT 80
    0x7f, 0x00, 0x00, 0x02,  // DSTIP 127.0.0.2
    'b',  'o',  'b',  0x00,  // USERID "bob"
    0xEE};                   // first byte of the relayed data, not the parser's

TEST(Socks4RequestParserTest, EverySplitGivesTheSameRequest) {
  for (size_t split = 0; split <= kSocks4Connect.size(); ++split) {
    CSocks4RequestParser parser;
    size_t consumed = 0;
    ASSERT_EQ(FeedSplit(parser, kSocks4Connect, split, &consumed), ParseStatus::kDone) << split;
    EXPECT_EQ(consumed, kSocks4Connect.size() - 1) << split;
    EXPECT_EQ(parser.command(), kCmdConnect);
    EXPECT_EQ(ntohs(parser.port()), 80);
    EXPECT_EQ(parser.address(), inet_addr("127.0.0.2"));
    EXPECT_EQ(parser.user(), "bob");
  }
}

TEST(Socks4RequestParserTest, WantedFollowsTheExactReads) {
  CSocks4RequestParser parser;
  EXPECT_EQ(parser.Wanted(), 8u);
  size_t used = 0;
  parser.Feed(kSocks4Connect.data(), 3, &used);
  EXPECT_EQ(parser.Wanted(), 5u);
  parser.Feed(kSocks4Connect.data() + 3, 5, &used);
  EXPECT_TRUE(parser.InUserId());
  EXPECT_EQ(parser.Wanted(), 1u);
}

TEST(Socks4RequestParserTest, UserIdOf300CharactersKeepsTheFirst255) {
  Bytes bytes = {0x04, 0x02, 0x00, 0x00, 0x7f, 0x00, 0x00, 0x05};
  std::string user;
  for (int i = 0; i < 300; ++i) {
    user.push_back(static_cast<char>('a' + i % 26));
  }
  bytes.insert(bytes.end(), user.begin(), user.end());
  bytes.push_back(0);
  CSocks4RequestParser parser;
  size_t used = 0;
  for (uint8_t byte : bytes) {
    parser.Feed(&byte, 1, &used);
  }
  ASSERT_EQ(parser.Wanted(), 0u);
  EXPECT_EQ(parser.user(), user.substr(0, 255));
  EXPECT_EQ(parser.command(), kCmdBind);
}

TEST(Socks4RequestParserTest, CommandOtherThanConnectOrBindIsInvalidBeforeTheUserId) {
  for (uint8_t cd : {0, 3, 4, 255}) {
    const Bytes bytes = {0x04, cd, 0x00, 0x50, 0x7f, 0x00, 0x00, 0x01};
    CSocks4RequestParser parser;
    size_t used = 0;
    EXPECT_EQ(parser.Feed(bytes.data(), bytes.size(), &used), ParseStatus::kInvalid) << int(cd);
    EXPECT_FALSE(parser.InUserId());
  }
}

TEST(Socks5MethodParserTest, FindsNoAuthAnywhereInTheListAtEverySplit) {
  const Bytes offers_00 = {0x05, 0x02, 0x02, 0x00};  // 0x02 then 0x00
  const Bytes without = {0x05, 0x02, 0x01, 0x02};
  for (size_t split = 0; split <= offers_00.size(); ++split) {
    CSocks5MethodParser yes;
    CSocks5MethodParser no;
    size_t consumed = 0;
    ASSERT_EQ(FeedSplit(yes, offers_00, split, &consumed), ParseStatus::kDone);
    EXPECT_TRUE(yes.NoAuthOffered());
    ASSERT_EQ(FeedSplit(no, without, split, &consumed), ParseStatus::kDone);
    EXPECT_FALSE(no.NoAuthOffered());
    EXPECT_EQ(no.MethodCount(), 2u);
  }
}

TEST(Socks5MethodParserTest, EmptyListAndWrongVersionAreInvalid) {
  const Bytes empty = {0x05, 0x00};
  const Bytes wrong = {0x04, 0x01, 0x00};
  CSocks5MethodParser a;
  CSocks5MethodParser b;
  size_t used = 0;
  EXPECT_EQ(a.Feed(empty.data(), empty.size(), &used), ParseStatus::kInvalid);
  EXPECT_EQ(b.Feed(wrong.data(), wrong.size(), &used), ParseStatus::kInvalid);
}

TEST(Socks5MethodParserTest, FullListOf255Methods) {
  Bytes bytes = {0x05, 0xFF};
  for (int i = 1; i <= 255; ++i) {
    bytes.push_back(static_cast<uint8_t>(i));  // 0x01 .. 0xFF, no 0x00
  }
  CSocks5MethodParser parser;
  size_t used = 0;
  ASSERT_EQ(parser.Feed(bytes.data(), bytes.size(), &used), ParseStatus::kDone);
  EXPECT_EQ(used, bytes.size());
  EXPECT_FALSE(parser.NoAuthOffered());
}

struct Socks5Case {
  const char* name;
  Bytes bytes;
  ParseStatus status;
  uint8_t reply;
  bool discard;
};

TEST(Socks5RequestParserTest, EveryAddressTypeAtEverySplit) {
  const std::vector<Socks5Case> cases = {
      {"ipv4", {0x05, 0x01, 0x00, 0x01, 0x7f, 0x00, 0x00, 0x03, 0x1f, 0x90},
       ParseStatus::kDone, kRepSucceeded, false},
      {"domain", {0x05, 0x03, 0xAA, 0x03, 0x04, 'h', 'o', 's', 't', 0x00, 0x35},
       ParseStatus::kDone, kRepSucceeded, false},
      {"ipv6", {0x05, 0x01, 0x00, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 80},
       ParseStatus::kDone, kRepAddressTypeNotSupported, false},
      {"atyp 9", {0x05, 0x01, 0x00, 0x09}, ParseStatus::kDone, kRepAddressTypeNotSupported, true},
      {"cmd 4", {0x05, 0x04, 0x00, 0x01}, ParseStatus::kDone, kRepCommandNotSupported, true},
      {"ver 4", {0x04, 0x01, 0x00, 0x01}, ParseStatus::kInvalid, 0, false},
  };
  for (const Socks5Case& c : cases) {
    for (size_t split = 0; split <= c.bytes.size(); ++split) {
      CSocks5RequestParser parser;
      size_t consumed = 0;
      ASSERT_EQ(FeedSplit(parser, c.bytes, split, &consumed), c.status) << c.name << split;
      if (c.status == ParseStatus::kDone) {
        EXPECT_EQ(consumed, c.bytes.size()) << c.name;
        EXPECT_EQ(parser.Reply(), c.reply) << c.name;
        EXPECT_EQ(parser.DiscardRest(), c.discard) << c.name;
      }
    }
  }
}

TEST(Socks5RequestParserTest, DecodesAddressNameAndPort) {
  const Bytes v4 = {0x05, 0x01, 0x00, 0x01, 0x7f, 0x00, 0x00, 0x03, 0x1f, 0x90};
  CSocks5RequestParser a;
  size_t used = 0;
  a.Feed(v4.data(), v4.size(), &used);
  EXPECT_EQ(a.address(), inet_addr("127.0.0.3"));
  EXPECT_EQ(ntohs(a.port()), 8080);

  const Bytes name = {0x05, 0x03, 0x00, 0x03, 0x04, 'h', 'o', 's', 't', 0x00, 0x35};
  CSocks5RequestParser b;
  b.Feed(name.data(), name.size(), &used);
  EXPECT_EQ(b.command(), kCmdUdpAssociate);
  EXPECT_EQ(b.name(), "host");
  EXPECT_EQ(ntohs(b.port()), 53);
}

TEST(Socks5RequestParserTest, LongestNameOf255Bytes) {
  Bytes bytes = {0x05, 0x01, 0x00, 0x03, 0xFF};
  bytes.insert(bytes.end(), 255, 'n');
  bytes.push_back(0x01);
  bytes.push_back(0xBB);
  CSocks5RequestParser parser;
  size_t used = 0;
  ASSERT_EQ(parser.Feed(bytes.data(), bytes.size(), &used), ParseStatus::kDone);
  EXPECT_EQ(parser.name(), std::string(255, 'n'));
  EXPECT_EQ(ntohs(parser.port()), 443);
}

TEST(Socks5RequestParserTest, WantedAsksForTheNameLengthAlone) {
  const Bytes head = {0x05, 0x01, 0x00, 0x03};
  CSocks5RequestParser parser;
  size_t used = 0;
  parser.Feed(head.data(), head.size(), &used);
  EXPECT_TRUE(parser.AtNameLength());
  EXPECT_EQ(parser.Wanted(), 1u);
  const uint8_t length = 7;
  parser.Feed(&length, 1, &used);
  EXPECT_EQ(parser.Wanted(), 9u);  // 7 name bytes and the port
}

TEST(UdpHeaderTest, Ipv4AndDomainHeaders) {
  const Bytes v4 = {0, 0, 0, 1, 127, 0, 0, 9, 0x13, 0x88, 'h', 'i'};
  UdpHeader header;
  ASSERT_EQ(ParseUdpHeader(v4.data(), v4.size(), &header), ParseStatus::kDone);
  EXPECT_EQ(header.address, inet_addr("127.0.0.9"));
  EXPECT_EQ(ntohs(header.port), 5000);
  EXPECT_EQ(header.header_size, 10u);

  const Bytes name = {0, 0, 0, 3, 3, 'a', 'b', 'c', 0x00, 0x35, 'x', 'y'};
  UdpHeader named;
  ASSERT_EQ(ParseUdpHeader(name.data(), name.size(), &named), ParseStatus::kDone);
  EXPECT_EQ(named.name, "abc");
  EXPECT_EQ(ntohs(named.port), 53);
  EXPECT_EQ(named.header_size, 10u);
}

TEST(UdpHeaderTest, RejectsShortFragmentedReservedIpv6AndOverlongNames) {
  const std::vector<Bytes> rejected = {
      {0, 0, 0, 1, 127, 0, 0, 1, 0, 80},              // valid; the loop below cuts it
      {0, 0, 1, 1, 127, 0, 0, 1, 0, 80},              // FRAG 1
      {0, 1, 0, 1, 127, 0, 0, 1, 0, 80},              // RSV not zero
      {1, 0, 0, 1, 127, 0, 0, 1, 0, 80},              // RSV not zero
      {0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // IPv6
      {0, 0, 0, 3, 9, 'a', 'b', 'c', 'd', 'e'},       // name longer than the datagram
      {0, 0, 0, 7, 127, 0, 0, 1, 0, 80},              // unknown ATYP
  };
  UdpHeader header;
  for (size_t cut = 0; cut < 10; ++cut) {
    EXPECT_EQ(ParseUdpHeader(rejected[0].data(), cut, &header), ParseStatus::kInvalid) << cut;
  }
  for (size_t i = 1; i < rejected.size(); ++i) {
    EXPECT_EQ(ParseUdpHeader(rejected[i].data(), rejected[i].size(), &header),
              ParseStatus::kInvalid)
        << i;
  }
}

TEST(SocksRepliesTest, ByteLayouts) {
  uint8_t v4[kSocks4ReplySize];
  BuildSocks4Reply(kSocks4Granted, inet_addr("127.0.0.1"), htons(1080), v4);
  EXPECT_EQ(Bytes(v4, v4 + 8), (Bytes{0, 90, 0x04, 0x38, 127, 0, 0, 1}));
  uint8_t v5[kSocks5ReplySize];
  BuildSocks5Reply(kRepHostUnreachable, 0, 0, v5);
  EXPECT_EQ(Bytes(v5, v5 + 10), (Bytes{5, 4, 0, 1, 0, 0, 0, 0, 0, 0}));
  uint8_t udp[kUdpReplyHeaderSize];
  BuildUdpReplyHeader(inet_addr("127.0.0.7"), htons(7), udp);
  EXPECT_EQ(Bytes(udp, udp + 10), (Bytes{0, 0, 0, 1, 127, 0, 0, 7, 0, 7}));
}

TEST(WrongVersionDumpTest, FirstByteAlwaysHexThenPrintableAsCharacters) {
  const uint8_t rest[] = {'B', 'C', '\r', '\n'};
  EXPECT_EQ(WrongVersionDump('A', rest, sizeof(rest)), "0x41 'B' 'C' 0xd 0xa ");
  const uint8_t edges[] = {0x1F, 0x20, 0x7F, 0x80, 0xFF};
  EXPECT_EQ(WrongVersionDump(0x00, edges, sizeof(edges)), "0x0 0x1f ' ' '\x7f' 0x80 0xff ");
}

TEST(WrongVersionDumpTest, HundredUnprintableBytesStayWithin505Characters) {
  const std::vector<uint8_t> rest(100, 0xFF);
  const std::string dump = WrongVersionDump(0xFF, rest.data(), rest.size());
  EXPECT_EQ(dump.size(), 505u);
}

TEST(DetectVersionTest, OnlyFourAndFive) {
  EXPECT_EQ(DetectVersion(4), 4);
  EXPECT_EQ(DetectVersion(5), 5);
  EXPECT_EQ(DetectVersion('A'), 0);
  EXPECT_EQ(DetectVersion(0), 0);
}

}  // namespace
}  // namespace qlm::socks
