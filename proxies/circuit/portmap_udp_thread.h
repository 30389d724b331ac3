// The UDP mapping: one thread per datagram, which forwards it to the
// mapping's destination and, for a BiUDP mapping, passes one return message
// back to the sender.
#pragma once

#include "engine/connection_context.h"

namespace qlm::circuit {

// Client: a new, unopened socket; Daemon: the PortMapListener; Data: the
// datagram; Address: its sender. Owns the context; returns 0.
int PortMapUdpThreadProc(engine::ConnectionContextPtr context);

}  // namespace qlm::circuit
