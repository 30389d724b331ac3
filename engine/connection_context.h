// What every connection thread receives and owns: the accepted client (or the
// request object built from a datagram), an optional second object of the
// protocol's, the listener it came from, a datagram copy and an address.
#pragma once

#include <netinet/in.h>

#include <memory>
#include <vector>

#include "engine/listener_record.h"
#include "net/blocking_socket.h"

namespace qlm::engine {

struct ConnectionContext {
  // The accepted client-socket object (or datagram request object); owned.
  std::unique_ptr<net::CBlockingSocket> Client;
  // A second owned object a protocol may attach (e.g. its outward socket).
  std::unique_ptr<net::CBlockingSocket> Peer;
  // The listener the connection came from; not owned, lives until exit.
  const CListenerRecord* Daemon = nullptr;
  // A copy of the datagram where a protocol needs one; DataLength is Data.size().
  std::vector<char> Data;
  // Zero (AF_INET, port 0, address 0) at start.
  sockaddr_in Address{AF_INET, 0, {0}, {0}};

  size_t DataLength() const { return Data.size(); }

  // A listener thread hands out copies of its own (empty) context: the copy
  // duplicates the data and address but never the owned objects.
  std::unique_ptr<ConnectionContext> CopyEmpty() const {
    auto copy = std::make_unique<ConnectionContext>();
    copy->Daemon = Daemon;
    copy->Data = Data;
    copy->Address = Address;
    return copy;
  }
};

using ConnectionContextPtr = std::unique_ptr<ConnectionContext>;

// Every connection thread procedure: owns its context, returns 0.
using ConnectionThreadProc = int (*)(ConnectionContextPtr context);

}  // namespace qlm::engine
