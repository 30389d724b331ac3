// One DHCP message served end to end on loopback: the worker thread, its
// replies (to a port of the test's instead of 68/67), its activity records
// and ERR lines.
#include "services/dhcp/dhcp_session.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include "engine/config/protocol_settings.h"
#include "services/dhcp/dhcp_client_thread.h"
#include "services/dhcp/dhcp_lease_store.h"
#include "tests/engine/config/temp_store.h"
#include "tests/services/dhcp/dhcp_test_support.h"
#include "tests/support/log_capture.h"
#include "tests/support/scoped_fd.h"

namespace qlm::dhcp {
namespace {

using test::CDhcpRequest;
using test::Host;

test::CScopedFd BoundUdp(uint16_t* port) {
  test::CScopedFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&at), sizeof at);
  socklen_t length = sizeof at;
  ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&at), &length);
  *port = ntohs(at.sin_port);
  return fd;
}

class DhcpSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { Configure([](engine::DhcpSettings&) {}); }

  template <class Change>
  void Configure(Change change) {
    DhcpServerConfig config;
    config.settings.FromAddr = "192.168.0.10";
    config.settings.ToAddr = "192.168.0.20";
    config.settings.Netmask = "255.255.255.0";
    config.settings.VerifyIP = 0;
    change(config.settings);
    config.timeouts.send = std::chrono::milliseconds(500);
    config.ports.client_port = receiver_port_;
    config.ports.relay_port = receiver_port_;
    config.ports.broadcast = htonl(INADDR_LOOPBACK);
    server_.SetUp(config, {Host("192.168.0.12")});
  }

  // Serves one message on this thread; the reply, or empty when none came.
  std::vector<uint8_t> Serve(const CDhcpRequest& request) {
    const std::vector<uint8_t> bytes = request.Bytes();
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    local.sin_port = htons(kServerPort);
    sockaddr_in sender = local;
    sender.sin_port = htons(kClientPort);
    auto client = std::make_unique<CDhcpDgClientSocket>(
        server_, local, sender, reinterpret_cast<const char*>(bytes.data()), bytes.size());
    client->ShareSocket(daemon_socket_.Get());
    auto context = std::make_unique<engine::ConnectionContext>();
    context->Daemon = &daemon_;
    context->Client = std::move(client);
    DhcpDgClientThreadProc(std::move(context));
    std::vector<uint8_t> reply(1024);
    const ssize_t got = ::recv(receiver_.Get(), reply.data(), reply.size(), MSG_DONTWAIT);
    reply.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return reply;
  }

  static uint8_t TypeOf(const std::vector<uint8_t>& reply) {
    return MessageType(MakeRequestBuffer(reinterpret_cast<const char*>(reply.data()),
                                         reply.size()));
  }
  static std::string Yiaddr(const std::vector<uint8_t>& reply) {
    return net::DottedAddress(in_addr{AddressField(
        MakeRequestBuffer(reinterpret_cast<const char*>(reply.data()), reply.size()),
        kOffYiaddr)});
  }
  bool Recorded(const std::string& text) {
    for (const test::ActivityCall& call : log_.Activities()) {
      if (call.text && *call.text == text) {
        return true;
      }
    }
    return false;
  }

  test::CTempStore store_;
  test::CFakeClock clock_;
  test::CFakeProbe probe_;
  CDhcpServer server_{clock_, &probe_};
  test::CLogCapture log_;
  uint16_t receiver_port_ = 0;
  test::CScopedFd receiver_ = BoundUdp(&receiver_port_);
  uint16_t daemon_port_ = 0;
  test::CScopedFd daemon_socket_ = BoundUdp(&daemon_port_);
  engine::CListenerRecord daemon_;
};

TEST_F(DhcpSessionTest, DiscoverGetsAnOfferOf300Bytes) {
  const std::vector<uint8_t> reply =
      Serve(CDhcpRequest(kDhcpDiscover, 0x01000000).Option(12, {'p', 'c'}));
  ASSERT_EQ(reply.size(), 300u);
  EXPECT_EQ(TypeOf(reply), kDhcpOffer);
  EXPECT_EQ(Yiaddr(reply), "192.168.0.10");
  EXPECT_TRUE(Recorded("receive DHCPDISCOVER:mac_id=020000aabb01 xid=1 hostname=pc"));
  EXPECT_TRUE(Recorded(
      "DHCPOFFER:mac_id=020000aabb01 xid=1 hostname=pc yiaddr=192.168.0.10 lease_time=-1"));
  const DhcpBuffer b = MakeRequestBuffer(reinterpret_cast<const char*>(reply.data()), 300);
  EXPECT_EQ(*AddressOption(b, kOptServerId), htonl(INADDR_LOOPBACK));
  EXPECT_EQ(*AddressOption(b, kOptRouters), htonl(INADDR_LOOPBACK));
  EXPECT_EQ(*AddressOption(b, kOptDnsServers), htonl(INADDR_LOOPBACK));
  EXPECT_EQ(*AddressOption(b, kOptLeaseTime), 0xFFFFFFFFu);
}

TEST_F(DhcpSessionTest, SelectingForThisServerIsAcked) {
  Configure([](engine::DhcpSettings& s) {
    s.LeasingTime = 86400;
    s.DefaultGateway = 0;
    s.Gateway = "192.168.0.254";
    s.DefaultDNS = 0;
    s.DNS = "9.9.9.9,1.1.1.1";
  });
  Serve(CDhcpRequest(kDhcpDiscover));
  const std::vector<uint8_t> reply = Serve(CDhcpRequest(kDhcpRequest, 0x02000000)
                                               .AddressOption(50, "192.168.0.10")
                                               .AddressOption(54, "127.0.0.1"));
  ASSERT_EQ(TypeOf(reply), kDhcpAck);
  EXPECT_TRUE(Recorded("receive DHCPREQUEST:mac_id=020000aabb01 xid=2"));
  EXPECT_TRUE(Recorded(
      "DHCPACK:SELECT:mac_id=020000aabb01 xid=2 yiaddr=192.168.0.10 lease_time=86400"));
  const DhcpBuffer b = MakeRequestBuffer(reinterpret_cast<const char*>(reply.data()), 300);
  EXPECT_EQ(*AddressOption(b, kOptLeaseTime), htonl(86400));
  EXPECT_EQ(*AddressOption(b, kOptRenewalTime), htonl(43200));
  EXPECT_EQ(*AddressOption(b, kOptRebindingTime), htonl(75600));
  EXPECT_EQ(*AddressOption(b, kOptRouters), inet_addr("192.168.0.254"));
  EXPECT_EQ(FindOption(b, kOptDnsServers)->length, 8u);
  EXPECT_EQ(ReadLeasesFromStore().at(0).lease_time, 86400u);
}

TEST_F(DhcpSessionTest, SelectingAnotherServerGetsNoReplyAndChangesNothing) {
  Serve(CDhcpRequest(kDhcpDiscover));
  const std::vector<DhcpLease> before = ReadLeasesFromStore();
  EXPECT_TRUE(Serve(CDhcpRequest(kDhcpRequest)
                        .AddressOption(50, "192.168.0.10")
                        .AddressOption(54, "192.168.0.99"))
                  .empty());
  EXPECT_EQ(ReadLeasesFromStore(), before);
}

TEST_F(DhcpSessionTest, SelectingWithoutAnOfferIsNaked) {
  const std::vector<uint8_t> reply = Serve(CDhcpRequest(kDhcpRequest, 0x03000000)
                                               .AddressOption(50, "192.168.0.15")
                                               .AddressOption(54, "127.0.0.1"));
  EXPECT_EQ(TypeOf(reply), kDhcpNak);
  EXPECT_TRUE(Recorded("DHCPNAK:SELECT:mac_id=020000aabb01 xid=3 reject_ip=192.168.0.15"));
}

TEST_F(DhcpSessionTest, InitRebootOutsideTheSubnetIsNakedWithBroadcastFlag) {
  const std::vector<uint8_t> reply =
      Serve(CDhcpRequest(kDhcpRequest, 0x04000000).AddressOption(50, "10.1.2.3"));
  ASSERT_EQ(TypeOf(reply), kDhcpNak);
  EXPECT_EQ(reply[10], 0x80);
  EXPECT_EQ(reply[11], 0x00);
  EXPECT_TRUE(Recorded("DHCPNAK:INIT-REBOOT:mac_id=020000aabb01 xid=4 reject_ip=10.1.2.3"));
}

TEST_F(DhcpSessionTest, InitRebootWithoutALeaseIsSilentAndWithholdsTheAddress) {
  EXPECT_TRUE(Serve(CDhcpRequest(kDhcpRequest).AddressOption(50, "192.168.0.10")).empty());
  EXPECT_TRUE(log_.HasLine(
      "ERR", "DHCP server has no record for ip 192.168.0.10. We must renew the client."));
  EXPECT_EQ(Yiaddr(Serve(CDhcpRequest(kDhcpDiscover).Mac(2))), "192.168.0.11");
}

TEST_F(DhcpSessionTest, InitRebootOfOwnLeaseIsAcked) {
  Serve(CDhcpRequest(kDhcpDiscover));
  const std::vector<uint8_t> reply =
      Serve(CDhcpRequest(kDhcpRequest, 0x05000000).AddressOption(50, "192.168.0.10"));
  EXPECT_EQ(TypeOf(reply), kDhcpAck);
  EXPECT_TRUE(Recorded(
      "DHCPACK:INIT-REBOOT:mac_id=020000aabb01 xid=5 yiaddr=192.168.0.10 lease_time=-1"));
}

TEST_F(DhcpSessionTest, RenewingIsAckedWithCiaddr) {
  Serve(CDhcpRequest(kDhcpDiscover));
  Serve(CDhcpRequest(kDhcpRequest).AddressOption(50, "192.168.0.10").AddressOption(54, "127.0.0.1"));
  const std::vector<uint8_t> reply =
      Serve(CDhcpRequest(kDhcpRequest, 0x06000000).Field(kOffCiaddr, "192.168.0.10"));
  EXPECT_EQ(TypeOf(reply), kDhcpAck);
  EXPECT_EQ(Yiaddr(reply), "192.168.0.10");
  EXPECT_TRUE(Recorded(
      "DHCPACK:RENEW-BIND:mac_id=020000aabb01 xid=6 yiaddr=192.168.0.10 lease_time=-1"));
  // Another client's renewal of that address: no reply.
  EXPECT_TRUE(Serve(CDhcpRequest(kDhcpRequest).Mac(9).Field(kOffCiaddr, "192.168.0.10")).empty());
}

TEST_F(DhcpSessionTest, RequestWithoutAddressGetsNoReply) {
  EXPECT_TRUE(Serve(CDhcpRequest(kDhcpRequest)).empty());
}

TEST_F(DhcpSessionTest, DeclineWithholdsTheAddress) {
  EXPECT_TRUE(Serve(CDhcpRequest(kDhcpDecline, 0x07000000).AddressOption(50, "192.168.0.10"))
                  .empty());
  EXPECT_TRUE(Recorded("receive DHCPDECLINE:xid=7 yiaddr=192.168.0.10"));
  EXPECT_TRUE(log_.HasLine("ERR", "DHCP server has received DHCPDECLINE for ip 192.168.0.10"));
  EXPECT_EQ(Yiaddr(Serve(CDhcpRequest(kDhcpDiscover))), "192.168.0.11");
}

TEST_F(DhcpSessionTest, ReleaseShortensTheLease) {
  Serve(CDhcpRequest(kDhcpDiscover));
  Serve(CDhcpRequest(kDhcpRequest).AddressOption(50, "192.168.0.10").AddressOption(54, "127.0.0.1"));
  EXPECT_TRUE(Serve(CDhcpRequest(kDhcpRelease, 0x08000000).Field(kOffCiaddr, "192.168.0.10"))
                  .empty());
  EXPECT_TRUE(Recorded("receive DHCPRELEASE:mac_id=020000aabb01 xid=8 yiaddr=192.168.0.10"));
  EXPECT_EQ(ReadLeasesFromStore().at(0).lease_time, 15u);
}

TEST_F(DhcpSessionTest, InformIsRecordedWithoutReply) {
  EXPECT_TRUE(Serve(CDhcpRequest(kDhcpInform, 0x09000000)).empty());
  EXPECT_TRUE(Recorded("receive DHCPINFORM:xid=9"));
}

TEST_F(DhcpSessionTest, UnknownTypesAreDiscardedWithTheirErrLine) {
  for (uint8_t type : {uint8_t{2}, uint8_t{5}, uint8_t{6}, uint8_t{9}, uint8_t{0}}) {
    EXPECT_TRUE(Serve(CDhcpRequest(type)).empty());
  }
  const std::string line =
      "DHCP server:DhcpDgClientThreadProc:receive unknown DHCP message type from a client "
      "DHCP message was discarded";
  size_t count = 0;
  for (const test::LogCall& call : log_.Logs()) {
    count += call.kind == "ERR" && call.text == line;
  }
  EXPECT_EQ(count, 5u);
}

TEST_F(DhcpSessionTest, RelayedRequestIsAnsweredToGiaddr) {
  // giaddr 127.0.0.1: the reply goes to the relay port (the test's).
  const std::vector<uint8_t> reply =
      Serve(CDhcpRequest(kDhcpDiscover).Field(kOffGiaddr, "127.0.0.1"));
  ASSERT_EQ(TypeOf(reply), kDhcpOffer);
  EXPECT_EQ(reply[24], 127);
}

TEST_F(DhcpSessionTest, MessagesBeyondTheWorkerBoundAreDroppedWithOneLineASecond) {
  engine::CConnectionLimit& limit = DhcpWorkerLimit();
  unsigned taken = 0;
  while (limit.TryTake()) {
    ++taken;
  }
  EXPECT_EQ(taken, kMaxDhcpWorkers);
  EXPECT_TRUE(Serve(CDhcpRequest(kDhcpDiscover)).empty());
  EXPECT_TRUE(Serve(CDhcpRequest(kDhcpDiscover)).empty());
  for (unsigned i = 0; i < taken; ++i) {
    limit.Give();
  }
  size_t lines = 0;
  for (const test::LogCall& call : log_.Logs()) {
    lines += call.kind == "ERR" &&
             call.text == "DHCP server:too many DHCP messages at once DHCP message was discarded";
  }
  EXPECT_EQ(lines, 1u);
  EXPECT_FALSE(server_.Table().FindClient("020000aabb01").has_value());
  EXPECT_EQ(TypeOf(Serve(CDhcpRequest(kDhcpDiscover))), kDhcpOffer);
}

TEST_F(DhcpSessionTest, EveryMessageEndsItsActivityRow) {
  Serve(CDhcpRequest(kDhcpInform));
  const std::vector<test::ActivityCall> calls = log_.Activities();
  ASSERT_FALSE(calls.empty());
  EXPECT_FALSE(calls.back().text.has_value());
}

}  // namespace
}  // namespace qlm::dhcp
