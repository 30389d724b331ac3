// The SOCKS daemon's connection thread.
#pragma once

#include "engine/connection_context.h"

namespace qlm::socks {

// Serves one accepted SOCKS connection (context->Client is a CClientSocket)
// from its first byte to its end; owns and deletes the context; returns 0.
int ClientThreadProc(engine::ConnectionContextPtr context);

}  // namespace qlm::socks
