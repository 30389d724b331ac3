// The host's own addresses, from getifaddrs.
#include "net/host_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>

namespace qlm::net {

std::vector<InterfaceAddress> ListInterfaceAddresses() {
  std::vector<InterfaceAddress> found;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) {
    return found;
  }
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
      continue;
    }
    InterfaceAddress item;
    item.address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr;
    item.up = (entry->ifa_flags & IFF_UP) != 0;
    item.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
    found.push_back(item);
  }
  freeifaddrs(list);
  return found;
}

bool IsOwnHostAddress(in_addr address) {
  if ((ntohl(address.s_addr) >> 24) == 127) {
    return true;
  }
  for (const InterfaceAddress& item : ListInterfaceAddresses()) {
    if (item.address.s_addr == address.s_addr) {
      return true;
    }
  }
  return false;
}

std::string HostFirstAddress(const std::vector<InterfaceAddress>& interfaces) {
  const InterfaceAddress* chosen = nullptr;
  for (const InterfaceAddress& item : interfaces) {
    if (item.up && !item.loopback) {
      chosen = &item;
      break;
    }
    if (chosen == nullptr && item.loopback) {
      chosen = &item;
    }
  }
  if (chosen == nullptr) {
    return "127.0.0.1";
  }
  char text[INET_ADDRSTRLEN] = "127.0.0.1";
  inet_ntop(AF_INET, &chosen->address, text, sizeof text);
  return text;
}

std::string HostFirstAddress() { return HostFirstAddress(ListInterfaceAddresses()); }

}  // namespace qlm::net
