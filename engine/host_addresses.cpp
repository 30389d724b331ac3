// The host's own addresses, read afresh for each check so that an address
// added after start-up (a dial-up link coming up) counts too.
#include "engine/host_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>

namespace qlm::engine {

bool IsOwnHostAddress(in_addr address) {
  if ((ntohl(address.s_addr) >> 24) == 127) {
    return true;
  }
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) {
    return false;
  }
  bool found = false;
  for (const ifaddrs* entry = list; entry != nullptr && !found; entry = entry->ifa_next) {
    if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET) {
      const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
      found = in->sin_addr.s_addr == address.s_addr;
    }
  }
  freeifaddrs(list);
  return found;
}

}  // namespace qlm::engine
