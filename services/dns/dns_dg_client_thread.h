// The DNS request's worker thread and the bound on how many run at once.
#pragma once

#include "engine/connection_context.h"
#include "engine/connection_limit.h"

namespace qlm::dns {

// DNS workers running at once. A worker whose servers stay silent holds its
// thread up to the upstream wait (120 s); without a bound a burst of queries
// while the line is down would start a thread for each. Measured with
// bench/dns/dns_bench.sh: a waiting worker costs about 10 kB of resident
// memory (1000 waiting: 5 MB -> 15 MB), so the bound costs some 10 MB at
// most, while a thousand simultaneous queries from the office's machines are
// all still served (the relay answers 10000-15000 queries a second, so
// normal load keeps far fewer workers alive).
inline constexpr unsigned kDnsWorkerBound = 1024;

// The limit the DNS workers take their slots from (tests may Reset it).
engine::CConnectionLimit& DnsWorkerLimit();

// A request dropped beyond the bound: one ERR line a second at most, for the
// dispatcher's drops and the workers' together.
void LogWorkersBusy();

// Serves one request; `context->Client` is its CDnsDgClientSocket. Returns 0.
int DnsDgClientThreadProc(engine::ConnectionContextPtr context);

}  // namespace qlm::dns
