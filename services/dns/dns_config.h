// What the DNS relay works from besides its daemon's settings: its
// time-outs, whether the engine may dial for a name look-up, and where a
// broadcast goes. The protocol's configure step sets the snapshot once at
// start-up; every request takes a copy. Unit tests set their own.
//
// QUILLMAR_DNS_UPSTREAM_WAIT_MS, when set in the engine's environment at
// start-up, replaces both upstream waits (tests only: the end-to-end tests
// cannot wait the 120 seconds a real relay gives its servers).
#pragma once

#include <netinet/in.h>

#include <chrono>

#include "engine/protocol_entry.h"
#include "net/timeout.h"

namespace qlm::dns {

struct DnsTimeouts {
  // The wait for a usable upstream reply, and after a broadcast the wait for
  // further servers; each bounds the whole step, however many unusable
  // datagrams arrive meanwhile.
  net::Timeout upstream_reply{std::chrono::seconds(120)};
  net::Timeout learning{std::chrono::seconds(120)};
  // Each datagram sent (to upstream servers and to the client).
  net::Timeout send{std::chrono::seconds(30)};
};

struct DnsConfig {
  DnsTimeouts timeouts;
  // UseDialUp and DialUpManaged on (and a backend to dial with).
  bool dial_up = false;
  // Where a query goes when servers are sought by broadcast.
  sockaddr_in broadcast_to{AF_INET, htons(53), {INADDR_BROADCAST}, {0}};
};

inline constexpr const char* kUpstreamWaitVariable = "QUILLMAR_DNS_UPSTREAM_WAIT_MS";

// The snapshot every request copies.
DnsConfig DnsConfiguration();
void SetDnsConfiguration(const DnsConfig& config);
// The configure step: the General settings and the test variable.
DnsConfig DnsConfigFrom(const engine::ProtocolSetup& setup);

}  // namespace qlm::dns
