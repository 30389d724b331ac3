// The host's own addresses, from getifaddrs.
#include "net/host_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <unistd.h>

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

std::string DomainOfName(const std::string& name) {
  const size_t dot = name.find('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string HostDomainName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) {
    return {};
  }
  std::string domain = DomainOfName(name);
  if (!domain.empty()) {
    return domain;
  }
  // The short name: its canonical name from the resolver (hosts file first).
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0) {
    return {};
  }
  if (found != nullptr && found->ai_canonname != nullptr) {
    domain = DomainOfName(found->ai_canonname);
  }
  freeaddrinfo(found);
  return domain;
}

}  // namespace qlm::net
