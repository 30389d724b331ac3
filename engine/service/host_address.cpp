// The host's first address.
#include "engine/service/host_address.h"

#include <unistd.h>

#include "net/blocking_socket.h"

namespace qlm::engine {

std::string HostFirstAddress() {
  char name[256] = "";
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
    return kLoopbackText;
  }
  try {
    return net::DottedAddress(net::CBlockingSocket::GetHostByName(name, 0).sin_addr);
  } catch (const net::CBlockingSocketException&) {
    return kLoopbackText;
  }
}

}  // namespace qlm::engine
