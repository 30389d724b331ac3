// DnsDgClientThreadProc through the protocol's start, over real loopback
// datagrams: local answers, the name error, other types, queries that get no
// reply, relaying with the client's id, replies that are dropped, the echo,
// learned servers, the worker bound and the activity records. Every test has
// addresses of its own in 127.53.N.0/24; upstream servers listen on port 53.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "dns_test_support.h"
#include "services/dns/dns_dg_client_socket.h"
#include "services/dns/dns_dg_client_thread.h"
#include "services/dns/dns_wire.h"
#include "services/dns/learned_dns_servers.h"
#include "tests/support/wait_until.h"

namespace qlm::dns::test {
namespace {

using qlm::test::WaitUntil;

engine::DnsSettings Local() {
  return engine::DnsSettings{.Broadcast = 0, .Forward = 0, .TTL = 600, .Servers = {}};
}

engine::DnsSettings Relay(std::vector<std::string> servers, bool broadcast = false) {
  return engine::DnsSettings{.Broadcast = broadcast ? 1u : 0u, .Forward = 1, .TTL = 600,
                             .Servers = std::move(servers)};
}

CFakeUpstream::Answer Answering(uint8_t rcode = 0) {
  return [rcode](const Bytes& q) { return std::vector<Bytes>{UpstreamReply(q, rcode)}; };
}

TEST(DnsSessionTest, KnownNameUnderOtherOfficialNameGetsCnameAndAddresses) {
  CDnsHarness h("127.53.1.1", "127.53.1.2", Local());
  h.Resolver()->Add("www.office", "gate.office", {"10.0.0.1", "10.0.0.2"});
  h.Send(Query(0x4242, "www.office"));
  const Bytes a = h.Receive();
  ASSERT_GE(a.size(), 12u);
  EXPECT_EQ(Read16(a, 0), 0x4242);
  EXPECT_EQ(a[2], 0x81);
  EXPECT_EQ(a[3], 0x80);
  EXPECT_EQ(Read16(a, 6), 3);  // CNAME + two A
}

TEST(DnsSessionTest, UnknownNameGetsNameError) {
  CDnsHarness h("127.53.2.1", "127.53.2.2", Local());
  const Bytes q = Query(5, "nowhere.office");
  h.Send(q);
  const Bytes a = h.Receive();
  ASSERT_EQ(a.size(), q.size());
  EXPECT_EQ(a[2], 0x85);
  EXPECT_EQ(a[3], 0x83);
}

// Linux resolvers ask A and AAAA together; the second must not go unanswered.
TEST(DnsSessionTest, KnownNameOfOtherTypeGetsEmptyAnswerAtOnce) {
  CDnsHarness h("127.53.3.1", "127.53.3.2", Local());
  h.Resolver()->Add("gate.office", "gate.office", {"10.0.0.1"});
  const Bytes q = Query(6, "gate.office", 28);
  h.Send(q);
  const Bytes a = h.Receive();
  ASSERT_EQ(a.size(), q.size());
  EXPECT_EQ(a[3] & 0x0F, 0);
  EXPECT_EQ(Read16(a, 6), 0);
  h.Send(Query(7, "unknown.office", 15));  // MX of an unknown name
  const Bytes mx = h.Receive();
  ASSERT_GE(mx.size(), 12u);
  EXPECT_EQ(mx[3] & 0x0F, 3);
}

TEST(DnsSessionTest, InvalidRequestsGetNoReplyAndNoRecord) {
  CDnsHarness h("127.53.4.1", "127.53.4.2", Local());
  Bytes two = Query(1, "gate.office");
  two[5] = 2;
  h.Send(two);
  h.Send(Bytes{0, 7, 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0xC0, 12, 0, 1, 0, 1});  // pointer loop
  h.Send(Bytes{0, 7, 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0, 40, 'a', 'b', 'c'});     // label past end
  h.Send(Bytes(13, 0));  // below 14 bytes
  ASSERT_TRUE(WaitUntil([&] { return h.Idle(); }));
  EXPECT_TRUE(h.Receive(200).empty());
  EXPECT_FALSE(h.Log().HasLine("ERR", kTextInvalidRequest)) << h.Log().All();
}

TEST(DnsSessionTest, RelayedQueryIsAnsweredWithTheClientsId) {
  CFakeUpstream upstream("127.53.5.10", Answering());
  ASSERT_TRUE(upstream.Ok());
  CDnsHarness h("127.53.5.1", "127.53.5.2", Relay({"127.53.5.10"}));
  const Bytes q = Query(0x7777, "far.example", 28);  // AAAA is relayed too
  h.Send(q);
  const Bytes a = h.Receive();
  EXPECT_EQ(a, UpstreamReply(q));
  EXPECT_EQ(upstream.LastQuery(), q);
}

TEST(DnsSessionTest, UpstreamNameErrorIsDroppedThenTheQueryIsEchoed) {
  CFakeUpstream upstream("127.53.6.10", Answering(3));
  CDnsHarness h("127.53.6.1", "127.53.6.2", Relay({"127.53.6.10"}));
  const Bytes q = Query(0x1001, "gone.example");
  h.Send(q);
  const Bytes a = h.Receive();
  Bytes expected = q;
  expected[2] |= 0x84;
  expected[3] = 0x83;
  EXPECT_EQ(a, expected);
  EXPECT_EQ(upstream.Queries(), 1);
  EXPECT_FALSE(CLearnedDnsServers::Instance().ReplySeen());
}

TEST(DnsSessionTest, NoServerAndNoBroadcastEchoesAfterTheWait) {
  CDnsHarness h("127.53.7.1", "127.53.7.2", Relay({}));
  h.Send(Query(9, "x.example"));
  const Bytes a = h.Receive();
  ASSERT_GE(a.size(), 12u);
  EXPECT_EQ(a[3], 0x83);
}

// A broadcast goes to the injected address here (never onto a real network):
// the first answer is relayed, the servers that answered and were not asked
// by name are learned, three at most, and later queries go to them directly.
TEST(DnsSessionTest, BroadcastClearsRdAndLearnsAtMostThreeServers) {
  const auto four = [](const Bytes& q) {
    return std::vector<Bytes>(4, UpstreamReply(q));
  };
  CFakeUpstream seekers("127.53.8.20", four, {"127.53.8.21", "127.53.8.22", "127.53.8.23"});
  CDnsHarness h("127.53.8.1", "127.53.8.2", Relay({}, true));
  DnsConfig config = ShortConfig();
  config.broadcast_to = net::MakeAddress("127.53.8.20", 53);
  SetDnsConfiguration(config);
  const Bytes q = Query(0x2222, "seek.example", 1, 0x01);
  h.Send(q);
  const Bytes a = h.Receive();
  ASSERT_FALSE(a.empty());
  EXPECT_EQ(Read16(a, 0), 0x2222);
  EXPECT_EQ(seekers.LastQuery()[2] & 0x01, 0);  // RD cleared
  ASSERT_TRUE(WaitUntil([&] { return h.Idle(); }));
  EXPECT_TRUE(CLearnedDnsServers::Instance().ReplySeen());
  const std::vector<in_addr> learned = CLearnedDnsServers::Instance().Copy();
  ASSERT_EQ(learned.size(), 3u);
  EXPECT_EQ(net::DottedAddress(learned[0]), "127.53.8.20");
}

TEST(DnsSessionTest, AfterAReplyLearnedServersAreAskedInsteadOfABroadcast) {
  CFakeUpstream learned("127.53.9.10", Answering());
  CFakeUpstream broadcast("127.53.9.20", Answering());
  CDnsHarness h("127.53.9.1", "127.53.9.2", Relay({}, true));
  DnsConfig config = ShortConfig();
  config.broadcast_to = net::MakeAddress("127.53.9.20", 53);
  SetDnsConfiguration(config);
  CLearnedDnsServers::Instance().MarkReplySeen();
  CLearnedDnsServers::Instance().Add(net::MakeAddress("127.53.9.10", 53).sin_addr);
  const Bytes q = Query(0x3333, "known.example");
  h.Send(q);
  EXPECT_EQ(h.Receive(), UpstreamReply(q));
  EXPECT_EQ(learned.LastQuery(), q);  // unchanged, RD kept
  EXPECT_EQ(broadcast.Queries(), 0);
}

TEST(DnsSessionTest, BeyondTheWorkerBoundRequestsAreDroppedWithOneLine) {
  CDnsHarness h("127.53.10.1", "127.53.10.2", Local());
  h.Resolver()->Add("gate.office", "gate.office", {"10.0.0.1"});
  DnsWorkerLimit().Reset(0);
  h.Send(Query(1, "gate.office"));
  h.Send(Query(2, "gate.office"));
  EXPECT_TRUE(h.Receive(200).empty());
  size_t lines = 0;
  for (const auto& line : h.Log().Logs()) {
    lines += line.kind == "ERR" && line.text == kTextWorkersBusy;
  }
  EXPECT_EQ(lines, 1u) << h.Log().All();
  DnsWorkerLimit().Reset(kDnsWorkerBound);
  h.Send(Query(3, "gate.office"));
  EXPECT_FALSE(h.Receive().empty());
}

TEST(DnsSessionTest, QueryFromThisHostIsDroppedBeforeAnyThread) {
  CDnsHarness h("127.53.11.1", "127.53.11.2", Local());
  sockaddr_in self = net::MakeAddress("127.0.0.1", 4000);
  EXPECT_TRUE(CDnsDgClientSocket::IsSameHost(self));
  EXPECT_FALSE(CDnsDgClientSocket::IsSameHost(h.ClientAddress()));
}

TEST(DnsSessionTest, LookupIsReportedAndItsRowEnded) {
  CDnsHarness h("127.53.12.1", "127.53.12.2", Local());
  h.Send(Query(1, "who.office"));
  ASSERT_FALSE(h.Receive().empty());
  ASSERT_TRUE(WaitUntil([&] { return h.Idle(); }));
  // No manager listens, so only the sink sees the records.
  bool lookup = false;
  bool ended = false;
  for (const auto& record : h.Log().Activities()) {
    lookup |= record.text == std::string("127.53.12.2 (127.53.12.2) -> Look up who.office");
    ended |= !record.text.has_value();
  }
  EXPECT_TRUE(lookup);
  EXPECT_TRUE(ended);
}

TEST(DnsSessionTest, ReplyLeavesFromTheDaemonsAddressAndPort) {
  CDnsHarness h("127.53.13.1", "127.53.13.2", Local());
  h.Send(Query(1, "none.office"));
  sockaddr_in from{};
  ASSERT_FALSE(h.Receive(5000, &from).empty());
  EXPECT_EQ(from.sin_addr.s_addr, h.DaemonAddress().sin_addr.s_addr);
  EXPECT_EQ(from.sin_port, h.DaemonAddress().sin_port);
}

}  // namespace
}  // namespace qlm::dns::test
