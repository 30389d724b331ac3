// The two-way relay of a CONNECT tunnel: whatever either side sends goes to
// the other until one side closes, the tunnel stays idle for the time-out,
// or the engine stops.
#pragma once

#include "net/blocking_socket.h"

namespace qlm::http {

// Returns when either side closes or resets, after `idle` without traffic,
// or at engine stop. Sends take `send_timeout`.
void RelayTunnel(net::CBlockingSocket& client, net::CBlockingSocket& server, net::Timeout idle,
                 net::Timeout send_timeout);

}  // namespace qlm::http
