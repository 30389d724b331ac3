// The request check and name reading, byte by byte: header bits, the one
// question, compression pointers, pointer loops, labels past the end and the
// 255-character limit; and the test of an upstream reply.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "dns_test_support.h"
#include "services/dns/dns_request.h"
#include "services/dns/dns_wire.h"

namespace qlm::dns::test {
namespace {

using net::ParseStatus;

ParseStatus Check(const Bytes& bytes, DnsRequest* request) {
  return CheckDnsRequest(bytes.data(), bytes.size(), request);
}

TEST(DnsRequestTest, StandardAddressQueryIsRead) {
  const Bytes q = Query(0x1234, "www.example.org");
  DnsRequest request;
  ASSERT_EQ(Check(q, &request), ParseStatus::kDone);
  EXPECT_EQ(request.name, "www.example.org");
  EXPECT_EQ(request.question_position, q.size() - 4);
  EXPECT_TRUE(request.IsAddressQuery());
}

TEST(DnsRequestTest, OtherTypesAreReadWithTheirType) {
  DnsRequest request;
  ASSERT_EQ(Check(Query(1, "example.org", 28), &request), ParseStatus::kDone);
  EXPECT_EQ(request.qtype, 28);
  EXPECT_FALSE(request.IsAddressQuery());
}

TEST(DnsRequestTest, HeaderBitsAndCountAreChecked) {
  DnsRequest request;
  Bytes reply = Query(1, "a.b");
  reply[2] |= 0x80;  // QR
  EXPECT_EQ(Check(reply, &request), ParseStatus::kInvalid);
  Bytes opcode = Query(1, "a.b");
  opcode[2] |= 0x08;  // Opcode 1 (inverse query)
  EXPECT_EQ(Check(opcode, &request), ParseStatus::kInvalid);
  Bytes rcode = Query(1, "a.b");
  rcode[3] = 0x01;
  EXPECT_EQ(Check(rcode, &request), ParseStatus::kInvalid);
  Bytes two = Query(1, "a.b");
  two[5] = 2;  // QDCOUNT 2
  EXPECT_EQ(Check(two, &request), ParseStatus::kInvalid);
}

TEST(DnsRequestTest, RootNameIsEmpty) {
  DnsRequest request;
  ASSERT_EQ(Check(Query(1, ""), &request), ParseStatus::kDone);
  EXPECT_EQ(request.name, "");
}

TEST(DnsRequestTest, PointerContinuesTheNameAndTheQuestionGoesOnAfterIt) {
  // The header, then at 12 "example.org" as a name the question does not
  // use, then the question: "www" + pointer to 12, type A, class IN.
  Bytes q = {0, 7, 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0};
  const Bytes tail = {7, 'e', 'x', 'a', 'm', 'p', 'l', 'e', 3, 'o', 'r', 'g', 0};
  DnsRequest request;
  // A question that starts with the label and points back.
  Bytes name = {3, 'w', 'w', 'w', 0xC0, 17};
  q.insert(q.end(), name.begin(), name.end());
  q.insert(q.end(), {0, 1, 0, 1});
  q.insert(q.end(), tail.begin(), tail.end());
  // The pointer's target is at offset 12 + 6 + 4 = 22.
  q[17] = 22;
  ASSERT_EQ(Check(q, &request), ParseStatus::kDone);
  EXPECT_EQ(request.name, "www.example.org");
  EXPECT_EQ(request.question_position, 18u);
}

TEST(DnsRequestTest, PointerLoopIsInvalid) {
  Bytes q = {0, 7, 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0xC0, 12, 0, 1, 0, 1};
  DnsRequest request;
  EXPECT_EQ(Check(q, &request), ParseStatus::kInvalid);
  // A loop through a label grows the text until the limit stops it.
  Bytes q2 = {0, 7, 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 'a', 0xC0, 12, 0, 1, 0, 1};
  EXPECT_EQ(Check(q2, &request), ParseStatus::kInvalid);
}

TEST(DnsRequestTest, LabelPastTheEndIsInvalid) {
  Bytes q = {0, 7, 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0, 40, 'a', 'b'};
  DnsRequest request;
  EXPECT_EQ(Check(q, &request), ParseStatus::kInvalid);
  Bytes pointer = {0, 7, 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0xC0, 200, 0, 1, 0, 1};
  EXPECT_EQ(Check(pointer, &request), ParseStatus::kInvalid);
  Bytes half = {0, 7, 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 'a', 0, 0, 1, 0};
  EXPECT_EQ(Check(half, &request), ParseStatus::kInvalid);  // QCLASS cut
}

// Names of 254 characters pass; 255 (the limit, counting the dot after the
// last label) do not.
TEST(DnsRequestTest, NameOf255CharactersIsRefused) {
  std::string longest;
  while (longest.size() + 64 < 254) {
    longest += std::string(63, 'x') + ".";
  }
  const std::string fits = longest + std::string(253 - longest.size(), 'y');
  ASSERT_EQ(fits.size(), 253u);  // 254 with the dot after the last label
  DnsRequest request;
  ASSERT_EQ(Check(Query(1, fits), &request), ParseStatus::kDone);
  EXPECT_EQ(request.name, fits);
  EXPECT_EQ(Check(Query(1, fits + "z"), &request), ParseStatus::kInvalid);
}

TEST(DnsRequestTest, EverySplitOfAValidQueryIsInvalidUnlessWhole) {
  const Bytes q = Query(9, "mail.example.com");
  for (size_t cut = 0; cut < q.size(); ++cut) {
    DnsRequest request;
    EXPECT_EQ(CheckDnsRequest(q.data(), cut, &request), ParseStatus::kInvalid) << cut;
  }
}

TEST(DnsRequestTest, UpstreamReplyMustBeAnswerFromPort53WithoutError) {
  const Bytes q = Query(1, "a.b");
  sockaddr_in from{AF_INET, htons(53), {htonl(0x7F000001)}, {0}};
  const Bytes good = UpstreamReply(q);
  EXPECT_TRUE(IsUsableUpstreamReply(good.data(), good.size(), from));
  const Bytes name_error = UpstreamReply(q, 3);
  EXPECT_FALSE(IsUsableUpstreamReply(name_error.data(), name_error.size(), from));
  EXPECT_FALSE(IsUsableUpstreamReply(q.data(), q.size(), from));  // QR clear
  EXPECT_FALSE(IsUsableUpstreamReply(good.data(), 12, from));     // a bare header
  EXPECT_TRUE(IsUsableUpstreamReply(good.data(), 13, from));
  sockaddr_in other = from;
  other.sin_port = htons(5353);
  EXPECT_FALSE(IsUsableUpstreamReply(good.data(), good.size(), other));
}

}  // namespace
}  // namespace qlm::dns::test
