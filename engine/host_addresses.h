// Whether an IPv4 address belongs to this host: an address of one of its
// interfaces, or the loopback net 127.0.0.0/8. The manager channel admits
// only such peers.
#pragma once

#include <netinet/in.h>

namespace qlm::engine {

bool IsOwnHostAddress(in_addr address);

}  // namespace qlm::engine
