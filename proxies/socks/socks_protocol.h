// The SOCKS server's entry in the engine: daemon "SOCKS", served by
// ClientThreadProc with a CClientSocket that carries the server's time-outs.
#pragma once

#include "engine/protocol_entry.h"

namespace qlm::socks {

const engine::StreamProtocol& SocksProtocol();

}  // namespace qlm::socks
