// The answers the relay builds itself, compared byte by byte: the name
// error, the address answer with and without CNAME, the 511-byte bound, the
// empty answer for other types and the echo of an unanswered query.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "dns_test_support.h"
#include "services/dns/dns_answer.h"

namespace qlm::dns::test {
namespace {

in_addr Address(const char* text) {
  in_addr a{};
  inet_pton(AF_INET, text, &a);
  return a;
}

DnsRequest Checked(const Bytes& q) {
  DnsRequest request;
  EXPECT_EQ(CheckDnsRequest(q.data(), q.size(), &request), net::ParseStatus::kDone);
  return request;
}

TEST(DnsAnswerTest, NameErrorIsHeaderAndQuestion) {
  Bytes q = Query(0xBEEF, "no.such", 1, 0x01);
  q.insert(q.end(), {0xAA, 0xBB});  // trailing bytes are not copied
  const Bytes a = BuildNameError(q, Checked(q));
  const Bytes expected = {
      0xBE, 0xEF,  // ID
      0x85,        // QR, AA, RD kept
      0x83,        // RA, RCODE 3
      0, 1, 0, 0, 0, 0, 0, 0,
      2, 'n', 'o', 4, 's', 'u', 'c', 'h', 0,
      0, 1, 0, 1};
  EXPECT_EQ(a, expected);
}

TEST(DnsAnswerTest, OfficialNameDifferentGivesCnameThenOneAPerAddress) {
  const Bytes q = Query(7, "www.a", 1, 0x01);
  const LocalHost host{"h.a", {Address("10.0.0.1"), Address("10.0.0.2")}};
  const Bytes a = BuildAddressAnswer(q, Checked(q), host, 0x00002A30);
  Bytes expected = {0, 7, 0x81, 0x80, 0, 1, 0, 3, 0, 0, 0, 0,
                    3, 'w', 'w', 'w', 1, 'a', 0, 0, 1, 0, 1};
  const Bytes cname = {3, 'w', 'w', 'w', 1, 'a', 0, 0, 5, 0, 1, 0, 0, 0x2A, 0x30, 0, 5,
                       1, 'h', 1, 'a', 0};
  const Bytes a1 = {1, 'h', 1, 'a', 0, 0, 1, 0, 1, 0, 0, 0x2A, 0x30, 0, 4, 10, 0, 0, 1};
  const Bytes a2 = {1, 'h', 1, 'a', 0, 0, 1, 0, 1, 0, 0, 0x2A, 0x30, 0, 4, 10, 0, 0, 2};
  for (const Bytes* part : {&cname, &a1, &a2}) {
    expected.insert(expected.end(), part->begin(), part->end());
  }
  EXPECT_EQ(a, expected);
}

TEST(DnsAnswerTest, SameOfficialNameGivesNoCnameAndClearsAa) {
  Bytes q = Query(7, "h.a", 1, 0x05);  // AA set in the query, RD set
  const LocalHost host{"h.a", {Address("192.168.1.9")}};
  const Bytes a = BuildAddressAnswer(q, Checked(q), host, 60);
  EXPECT_EQ(a[2], 0x81);
  EXPECT_EQ(Read16(a, 6), 1);
  EXPECT_EQ(a.size(), q.size() + 5 + 10 + 4);
}

TEST(DnsAnswerTest, RecordsStopBelow511Bytes) {
  const Bytes q = Query(7, "h.a");
  LocalHost host{"h.a", {}};
  for (int i = 0; i < 40; ++i) {
    host.addresses.push_back(Address("10.1.1.1"));
  }
  const Bytes a = BuildAddressAnswer(q, Checked(q), host, 60);
  // 21 bytes of header and question, 19 a record: 25 records make 496 bytes,
  // a 26th would make 515.
  EXPECT_EQ(Read16(a, 6), 25);
  EXPECT_EQ(a.size(), 496u);
  EXPECT_LT(a.size(), 511u);
}

TEST(DnsAnswerTest, UnwritableOfficialNameGivesNoRecord) {
  const Bytes q = Query(7, "h.a");
  const LocalHost host{std::string(255, 'x'), {Address("10.1.1.1")}};
  const Bytes a = BuildAddressAnswer(q, Checked(q), host, 60);
  EXPECT_EQ(Read16(a, 6), 0);
  EXPECT_TRUE(EncodeDnsName("").empty());
  EXPECT_TRUE(EncodeDnsName("a..b").empty());
  EXPECT_TRUE(EncodeDnsName(std::string(64, 'l')).empty());
  EXPECT_EQ(EncodeDnsName("ab.c"), (Bytes{2, 'a', 'b', 1, 'c', 0}));
}

TEST(DnsAnswerTest, EmptyAnswerIsNoErrorWithoutRecords) {
  const Bytes q = Query(3, "h.a", 28, 0x01);
  const Bytes a = BuildEmptyAnswer(q, Checked(q));
  Bytes expected = q;
  expected[2] = 0x81;
  expected[3] = 0x80;
  EXPECT_EQ(a, expected);
}

TEST(DnsAnswerTest, EchoKeepsEveryByteButTheFlags) {
  Bytes q = Query(0x0102, "x.y", 15, 0x01);
  q[3] = 0x10;  // a Z bit
  q.insert(q.end(), {1, 2, 3});
  const Bytes echo = BuildNameErrorEcho(q);
  Bytes expected = q;
  expected[2] = 0x85;
  expected[3] = 0x93;
  EXPECT_EQ(echo, expected);
}

}  // namespace
}  // namespace qlm::dns::test
