// The answers the relay makes itself, pure and socket-free: the local answer
// from the engine's resolver, the empty answer for a known name asked for
// another type, the name error, and the echo of an unanswered query.
//
// A resource record (RFC 1035 section 4.1.3), names uncompressed:
//
//   NAME      length byte + characters per label, then a 0 byte
//   TYPE      16 bits      (1 = A, 5 = CNAME)
//   CLASS     16 bits      (1 = IN)
//   TTL       32 bits
//   RDLENGTH  16 bits
//   RDATA     A: 4 address bytes; CNAME: a NAME
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

#include "services/dns/dns_request.h"

namespace qlm::dns {

using Bytes = std::vector<uint8_t>;

// What the resolver knows about a name: its official name and addresses
// (network order), in the resolver's order.
struct LocalHost {
  std::string official_name;
  std::vector<in_addr> addresses;
};

// `query` has passed CheckDnsRequest into `request`.

// The name error: header and question only; QR, AA, RA set, RCODE 3.
Bytes BuildNameError(const Bytes& query, const DnsRequest& request);

// The address answer: a CNAME record when the official name differs from the
// query name, then one A record per address, each with `ttl`; a record is
// appended only while the answer stays below 511 bytes. QR and RA set, AA
// cleared, Opcode and RD kept.
Bytes BuildAddressAnswer(const Bytes& query, const DnsRequest& request, const LocalHost& host,
                         uint32_t ttl);

// A known name asked for a type other than A: the same header with no
// records (NOERROR), so the client's resolver need not wait.
Bytes BuildEmptyAnswer(const Bytes& query, const DnsRequest& request);

// The query itself with QR, AA, RA set and RCODE 3, every other byte kept.
Bytes BuildNameErrorEcho(const Bytes& query);

// `name` as uncompressed labels; empty when it cannot be written (empty,
// 255 characters or more, an empty label or one above 63 characters).
Bytes EncodeDnsName(const std::string& name);

}  // namespace qlm::dns
