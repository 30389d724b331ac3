// The port mappings' entry in the engine: the thread that serves every
// mapping listener, and the configure step that sets the mappings' waits.
#pragma once

#include "engine/protocol_entry.h"

namespace qlm::circuit {

const engine::PortMapService& PortMapProtocol();

}  // namespace qlm::circuit
