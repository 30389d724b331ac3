// The plain TCP mapping: each accepted connection is relayed byte for byte
// to the mapping's destination. Also what the listener thread needs to know
// per mapping kind: the client object to accept into and the worker.
#pragma once

#include <memory>

#include "engine/connection_context.h"
#include "engine/port_map_listener.h"
#include "proxies/circuit/portmap_config.h"

namespace qlm::circuit {

// The object an accepted connection of `listener` is taken into, and the
// thread procedure that serves it.
std::unique_ptr<net::CBlockingSocket> MakePortMapClient(const engine::PortMapListener& listener);
engine::ConnectionThreadProc PortMapWorkerFor(const engine::PortMapListener& listener);

// Serves one connection of a plain TCP mapping (Client: the accepted socket,
// Daemon: its PortMapListener). Owns the context; returns 0.
int PortMapClientThreadProc(engine::ConnectionContextPtr context);

// The waits every mapping worker uses from now on (the protocol's configure
// step; tests).
void SetPortMapTimeouts(const PortMapTimeouts& timeouts);
PortMapTimeouts CurrentPortMapTimeouts();

// Whether activity lines and records are worth building now.
bool PortMapRecordsWanted();

}  // namespace qlm::circuit
