// The DNS request's worker thread and the bound on how many run at once.
#pragma once

#include "engine/connection_context.h"
#include "engine/connection_limit.h"

namespace qlm::dns {

// DNS workers running at once. A worker whose servers stay silent holds its
// thread up to the upstream wait (120 s); without a bound a burst of queries
// while the line is down would start a thread for each. Measured (see
// bench/dns): a waiting worker costs about 30 KB of resident memory, so the
// bound costs some 30 MB at most, and a thousand simultaneous queries from
// the office's machines are still all served.
inline constexpr unsigned kDnsWorkerBound = 1024;

// The limit the DNS workers take their slots from (tests may Reset it).
engine::CConnectionLimit& DnsWorkerLimit();

// A request dropped beyond the bound: one ERR line a second at most, for the
// dispatcher's drops and the workers' together.
void LogWorkersBusy();

// Serves one request; `context->Client` is its CDnsDgClientSocket. Returns 0.
int DnsDgClientThreadProc(engine::ConnectionContextPtr context);

}  // namespace qlm::dns
