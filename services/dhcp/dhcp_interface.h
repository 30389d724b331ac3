// Tying the DHCP daemon's socket to the inside interface. A socket bound to
// one address never sees the broadcasts a client without an address sends
// (to 255.255.255.255), and a broadcast reply would leave by the routing
// table, which may be the outside network. So the daemon's socket is bound
// to the wildcard address on its port and to the interface that holds its
// configured address: it hears that interface only, and what it sends leaves
// by it only.
#pragma once

#include <netinet/in.h>

#include <optional>
#include <string>

#include "net/blocking_socket.h"

namespace qlm::dhcp {

struct InterfaceOfAddress {
  std::string name;
  unsigned index = 0;
};

// The interface holding `address` (getifaddrs); nullopt when none does.
std::optional<InterfaceOfAddress> FindInterfaceOf(in_addr address);

// Re-opens `socket` bound to 0.0.0.0 and the port of `local`, tied to the
// interface holding `local`'s address, with address reuse. Throws
// CBlockingSocketException ("DhcpListener:no interface holds the DHCP
// daemon's address", "DhcpListener:SO_BINDTODEVICE" with the Winsock
// error, or the socket layer's own texts).
void TieToInterface(net::CBlockingSocket& socket, const sockaddr_in& local);

}  // namespace qlm::dhcp
