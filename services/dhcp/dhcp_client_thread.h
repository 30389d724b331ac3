// DhcpDgClientThreadProc: the thread that serves one received DHCP message,
// and the bound on how many run at once.
#pragma once

#include "engine/activity_log.h"
#include "engine/connection_context.h"
#include "engine/connection_limit.h"

namespace qlm::dhcp {

// At most this many DHCP messages are served at once; each may hold the
// lease table through several 125 ms echo checks, and a flood of datagrams
// must not start threads without end.
inline constexpr unsigned kMaxDhcpWorkers = 128;
engine::CConnectionLimit& DhcpWorkerLimit();
// A message dropped beyond the bound: one ERR line a second at most, whether
// the dispatcher or a worker dropped it.
void LogDhcpDropped(engine::ThreadTag thread);

int DhcpDgClientThreadProc(engine::ConnectionContextPtr context);

}  // namespace qlm::dhcp
