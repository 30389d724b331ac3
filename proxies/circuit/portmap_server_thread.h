// PortMapThreadProc: the one thread that serves every port-mapping listener,
// accepting TCP connections and receiving datagrams, each handed to a worker
// thread of its own.
#pragma once

#include "engine/connection_context.h"
#include "engine/port_map_listener.h"

namespace qlm::circuit {

// Serves until the engine stops. Owns its context; returns 0.
int PortMapThreadProc(engine::ConnectionContextPtr context, const engine::PortMapList* listeners);

}  // namespace qlm::circuit
