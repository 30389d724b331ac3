// CONNECT tunnel relay over one poll set.
#include "proxies/http/http_tunnel.h"

#include "net/wait_set.h"
#include "proxies/http/http_wire.h"

namespace qlm::http {
namespace {

// Moves what one side has to the other; false when the side has closed.
bool Move(net::CBlockingSocket& from, net::CBlockingSocket& to, net::Timeout send_timeout) {
  char piece[kPumpPiece];
  int received = 0;
  try {
    received = from.Receive(piece, sizeof(piece), send_timeout);
  } catch (const net::CBlockingSocketException&) {
    return false;  // reset or error: the tunnel ends
  }
  if (received <= 0) {
    return false;
  }
  to.SendAll(piece, received, send_timeout);
  return true;
}

}  // namespace

void RelayTunnel(net::CBlockingSocket& client, net::CBlockingSocket& server, net::Timeout idle,
                 net::Timeout send_timeout) {
  for (;;) {
    net::CWaitSet waits;
    const size_t from_client = waits.Add(client.Handle(), POLLIN);
    const size_t from_server = waits.Add(server.Handle(), POLLIN);
    waits.AddShutdown();
    if (waits.Wait(idle) != net::CWaitSet::Result::kReady) {
      return;
    }
    if (waits.Ready(from_client, POLLIN) && !Move(client, server, send_timeout)) {
      return;
    }
    if (waits.Ready(from_server, POLLIN) && !Move(server, client, send_timeout)) {
      return;
    }
  }
}

}  // namespace qlm::http
