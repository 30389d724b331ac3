// Tying the DHCP daemon's socket to the interface of its address, and the
// echo check, both on loopback.
#include "services/dhcp/dhcp_interface.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include "services/dhcp/dhcp_icmp_echo.h"
#include "services/dhcp/dhcp_wire.h"

namespace qlm::dhcp {
namespace {

TEST(DhcpInterfaceTest, LoopbackAddressIsOnTheLoopbackInterface) {
  const std::optional<InterfaceOfAddress> found =
      FindInterfaceOf(in_addr{htonl(INADDR_LOOPBACK)});
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->name, "lo");
  EXPECT_GT(found->index, 0u);
}

TEST(DhcpInterfaceTest, SocketIsReboundToTheWildcardOnItsPort) {
  net::CBlockingSocket socket;
  socket.Create(net::kDatagram);
  socket.Bind(net::MakeAddress("127.0.0.1", 0));
  sockaddr_in local{};
  socket.GetSockName(&local);
  TieToInterface(socket, local);
  sockaddr_in now{};
  socket.GetSockName(&now);
  EXPECT_EQ(now.sin_addr.s_addr, htonl(INADDR_ANY));
  EXPECT_EQ(now.sin_port, local.sin_port);
}

TEST(DhcpInterfaceTest, AddressOfNoInterfaceIsRefused) {
  net::CBlockingSocket socket;
  const sockaddr_in nowhere = net::MakeAddress("192.0.2.77", 67);
  try {
    TieToInterface(socket, nowhere);
    FAIL() << "no exception";
  } catch (const net::CBlockingSocketException& e) {
    EXPECT_EQ(e.GetErrorText(), "DhcpListener:no interface holds the DHCP daemon's address");
  }
}

TEST(DhcpIcmpEchoTest, LoopbackAnswers) {
  CIcmpEcho echo(std::chrono::milliseconds(2000));
  EXPECT_TRUE(echo.Answers(INADDR_LOOPBACK));
}

}  // namespace
}  // namespace qlm::dhcp
