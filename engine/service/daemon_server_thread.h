// DaemonServerThreadProc: one thread waits on every daemon listener at once
// and hands each accepted connection or received datagram to a new thread of
// its protocol.
#pragma once

#include <memory>
#include <vector>

#include "engine/connection_context.h"
#include "engine/listener_record.h"

namespace qlm::engine {

using DaemonList = std::vector<std::unique_ptr<DaemonRecord>>;

// At most this many listeners share one wait; later ones are never served.
inline constexpr size_t kMaxWaitSockets = 64;
// The receive buffer for one datagram.
inline constexpr size_t kDatagramBufferSize = 65536;

// Serves `daemons` (built before the thread starts, read-only afterwards,
// alive until exit) until the engine stops or the socket layer fails; owns
// `context`, its own empty context, which every handed-out context copies.
// Returns 0.
int DaemonServerThreadProc(ConnectionContextPtr context, const DaemonList* daemons);

}  // namespace qlm::engine
