// The Telnet proxy's entry in the engine: daemon "Telnet", served by
// TelnetThreadProc with a command socket that carries the session's waits.
#pragma once

#include "engine/protocol_entry.h"
#include "proxies/circuit/telnet_client.h"

namespace qlm::circuit {

const engine::StreamProtocol& TelnetProtocol();

// The waits with the engine's overrides (QUILLMAR_TIMEOUTS "telnet.*").
TelnetConfig ConfiguredTelnetConfig();

}  // namespace qlm::circuit
