// Which protocol serves a daemon: the entries of every protocol library
// linked into the engine (engine/protocol_entry.h). For stream daemons the
// client object an accepted connection is taken into and the thread
// procedure that serves it; for datagram daemons what is done with one
// received datagram. A daemon name without an entry is served as an unknown
// daemon. Names compare exactly.
#pragma once

#include <string>

#include "engine/protocol_entry.h"

namespace qlm::engine {

// nullptr when the name has no entry.
const StreamProtocol* FindStreamProtocol(const std::string& name);
const DatagramProtocol* FindDatagramProtocol(const std::string& name);
// The port-mapping server; nullptr while no library provides one (the
// listeners then stay open with connections left waiting in their backlog).
const PortMapService* FindPortMapService();

// A datagram daemon's listener is bound: its protocol's listener_made step,
// if it has one. Throws CBlockingSocketException.
void DatagramListenerMade(DaemonRecord& record);

// Hands every linked protocol the engine's setup (its configure step), once,
// before the listeners open.
void ConfigureProtocols(const ProtocolSetup& setup);

}  // namespace qlm::engine
