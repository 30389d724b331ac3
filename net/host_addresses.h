// The host's own IPv4 addresses, read from its interfaces afresh for each
// call so that an address added after start-up (a dial-up link coming up)
// counts too.
#pragma once

#include <netinet/in.h>

#include <string>
#include <vector>

namespace qlm::net {

// Whether an address belongs to this host: an address of one of its
// interfaces, or the loopback net 127.0.0.0/8. The manager channel admits
// only such peers.
bool IsOwnHostAddress(in_addr address);

// One IPv4 address of an interface, in the interfaces' order.
struct InterfaceAddress {
  in_addr address{};
  bool up = false;
  bool loopback = false;
};
std::vector<InterfaceAddress> ListInterfaceAddresses();

// The host's first address, where the daemons listen by default: the first
// address of an interface that is up and not loopback; the first loopback
// address when there is none; "127.0.0.1" when there is no address at all.
// (The host name is no guide: a stock installation resolves it to 127.0.1.1,
// where no other machine of the office can reach the daemons.)
std::string HostFirstAddress(const std::vector<InterfaceAddress>& interfaces);
std::string HostFirstAddress();

// The host's own domain name: what follows the first dot of its fully
// qualified name (its name, or the resolver's canonical name for it); empty
// when it has none.
std::string HostDomainName();
// What follows the first dot of `name`; empty without a dot.
std::string DomainOfName(const std::string& name);

}  // namespace qlm::net
