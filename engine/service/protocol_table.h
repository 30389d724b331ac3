// Which protocol serves a daemon: for stream daemons the client object an
// accepted connection is taken into and the thread procedure that serves it;
// for datagram daemons what is done with one received datagram. A daemon name
// without an entry is served as an unknown daemon. Names compare exactly.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "engine/connection_context.h"
#include "net/blocking_socket.h"

namespace qlm::engine {

struct StreamProtocol {
  const char* name;
  // The client object created before the accept.
  std::unique_ptr<net::CBlockingSocket> (*make_client)();
  ConnectionThreadProc thread_proc;
};

struct DatagramProtocol {
  const char* name;
  // Shorter datagrams are dropped without a word.
  size_t min_length;
  // Builds the request object from the context (Daemon, Data = the datagram,
  // Address = its sender) and starts the protocol's thread with it, or drops
  // it. Null while the protocol is not built into this engine: its datagrams
  // are then logged like those of an unknown datagram daemon.
  void (*start)(ConnectionContextPtr context);
};

// nullptr when the name has no entry.
const StreamProtocol* FindStreamProtocol(const std::string& name);
const DatagramProtocol* FindDatagramProtocol(const std::string& name);

// The thread that serves every port-mapping listener; null while port
// mapping is not built into this engine (its listeners then stay open with
// connections left waiting in their backlog).
using PortMapServerProc = int (*)(ConnectionContextPtr context);
PortMapServerProc PortMapServer();

}  // namespace qlm::engine
