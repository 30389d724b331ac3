// CManagerSocket: the link's connected socket, a blocking socket of the
// manager's socket layer (no engine stop wake-up) taken over from the
// finished asynchronous connect.
#pragma once

#include "net/blocking_socket.h"

namespace qlm::manager {

class CManagerSocket : public net::CBlockingSocket {
 public:
  CManagerSocket() = default;
};

}  // namespace qlm::manager
