// Starting one connection or datagram thread: detached, running at once,
// owning its context. A thread that cannot be created closes the connection
// (the context goes with the failed start) and leaves an ERR line; the engine
// goes on.
#pragma once

#include <cstddef>

#include "engine/connection_context.h"

namespace qlm::engine {

// A connection thread that cannot be started: its connection is closed.
inline constexpr const char* kThreadStartFailedFormat =
    "DaemonServerThreadProc:cannot start the %s connection thread";

// Connection threads whose connection has ended, waiting a while for the
// next one (they end when none comes).
size_t ParkedConnectionThreads();

// false when the thread could not be started.
bool StartConnectionThread(ConnectionThreadProc proc, ConnectionContextPtr context,
                           const char* daemon_name);

}  // namespace qlm::engine
