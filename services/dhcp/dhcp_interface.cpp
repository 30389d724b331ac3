// Finding the interface of the daemon's address and tying its socket to it.
#include "services/dhcp/dhcp_interface.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

#include <cerrno>

#include "net/winsock_errors.h"
#include "services/dhcp/dhcp_wire.h"

namespace qlm::dhcp {

std::optional<InterfaceOfAddress> FindInterfaceOf(in_addr address) {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) {
    return std::nullopt;
  }
  std::optional<InterfaceOfAddress> found;
  for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
      continue;
    }
    const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    if (in->sin_addr.s_addr == address.s_addr) {
      found = InterfaceOfAddress{entry->ifa_name, ::if_nametoindex(entry->ifa_name)};
      break;
    }
  }
  ::freeifaddrs(list);
  return found;
}

void TieToInterface(net::CBlockingSocket& socket, const sockaddr_in& local) {
  const std::optional<InterfaceOfAddress> device = FindInterfaceOf(local.sin_addr);
  if (!device) {
    throw net::CBlockingSocketException(kTextNoInterface);
  }
  socket.Close();
  socket.Create(net::kDatagram);
  socket.SetReuseAddr();
  if (::setsockopt(socket.Handle(), SOL_SOCKET, SO_BINDTODEVICE, device->name.c_str(),
                   static_cast<socklen_t>(device->name.size())) != 0) {
    const int error = net::WinsockFromErrno(errno);
    socket.Close();
    throw net::CBlockingSocketException(kTextBindDevice, error);
  }
  sockaddr_in any = local;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  socket.Bind(any);
}

}  // namespace qlm::dhcp
