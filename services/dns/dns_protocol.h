// The DNS relay's entry in the engine: datagram daemon "DNS" (at least 14
// bytes a datagram), each request served by DnsDgClientThreadProc.
#pragma once

#include "engine/protocol_entry.h"

namespace qlm::dns {

const engine::DatagramProtocol& DnsProtocol();

// The dispatcher's step for one datagram: drops a query from this host
// itself (the relay never relays its own queries) and one beyond the worker
// bound, else starts the worker with the request object.
void StartDnsRequest(engine::ConnectionContextPtr context);

}  // namespace qlm::dns
