// Starting one connection thread: detached, running at once, owning its
// context. A thread that cannot be created closes the connection (the context
// goes with the failed start) and leaves an ERR line; the engine goes on.
#pragma once

#include "engine/connection_context.h"

namespace qlm::engine {

// false when the thread could not be started.
bool StartConnectionThread(ConnectionThreadProc proc, ConnectionContextPtr context,
                           const char* daemon_name);

}  // namespace qlm::engine
