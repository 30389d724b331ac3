// The DNS request object and the same-host test.
#include "services/dns/dns_dg_client_socket.h"

#include <unistd.h>

#include "net/host_addresses.h"
#include "net/host_cache.h"
#include "services/dns/dns_wire.h"

namespace qlm::dns {

CDnsDgClientSocket::CDnsDgClientSocket(const std::vector<char>& datagram,
                                       const sockaddr_in& sender)
    : datagram_(datagram.begin(), datagram.end()), sender_(sender) {}

bool CDnsDgClientSocket::CheckRequest() {
  return CheckDnsRequest(datagram_.data(), datagram_.size(), &request_) ==
         net::ParseStatus::kDone;
}

// The host name alone is no guide on this system (a stock installation
// resolves it to 127.0.1.1, or not at all), so the interfaces' addresses
// count first; the name's addresses are added as the original rule has it.
bool CDnsDgClientSocket::IsSameHost(const sockaddr_in& sender) {
  const std::vector<net::InterfaceAddress> interfaces = net::ListInterfaceAddresses();
  for (const net::InterfaceAddress& item : interfaces) {
    if (item.address.s_addr == sender.sin_addr.s_addr) {
      return true;
    }
  }
  char name[256] = {};
  if (gethostname(name, sizeof(name) - 1) != 0) {
    throw net::CBlockingSocketException(kTextNoHostName);
  }
  const net::HostEntry host = net::CHostCache::Instance().Lookup(name);
  if (host.addresses.empty() && interfaces.empty()) {
    throw net::CBlockingSocketException(kTextSameHostLookup);
  }
  for (const in_addr& address : host.addresses) {
    if (address.s_addr == sender.sin_addr.s_addr) {
      return true;
    }
  }
  return false;
}

}  // namespace qlm::dns
