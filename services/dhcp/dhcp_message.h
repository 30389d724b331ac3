// Reading a DHCP request and building the server's replies: pure functions
// over the 548-byte message buffer, no sockets and no logging. A datagram is
// one whole message (RFC 2131 section 4.1), so there is nothing to resume:
// whatever arrived is copied into a zeroed buffer and read from there, and
// every read stays inside the buffer whatever the bytes say.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "services/dhcp/dhcp_wire.h"

namespace qlm::dhcp {

using DhcpBuffer = std::array<uint8_t, kMessageSize>;

// The first 548 bytes of the datagram, the rest zero.
DhcpBuffer MakeRequestBuffer(const char* data, size_t length);

// One option's data inside the buffer.
struct OptionView {
  const uint8_t* data = nullptr;
  size_t length = 0;
};

// The first option `code` after the cookie: pads (0) are skipped, the scan
// stops at the end option (255), at byte 548, or at an option whose data
// would run past byte 548 (that one and what follows count as absent).
std::optional<OptionView> FindOption(const DhcpBuffer& message, uint8_t code);

// Option 53's value; 0 when absent or empty.
uint8_t MessageType(const DhcpBuffer& message);
// The xid as the records print it: the signed 32-bit number whose
// little-endian bytes are the message's four xid bytes.
int32_t XidNumber(const DhcpBuffer& message);
// A 4-byte address field, in network order (as in_addr.s_addr).
uint32_t AddressField(const DhcpBuffer& message, size_t offset);
// Option 50 (requested address), option 54 (server identifier) in network
// order; nullopt when absent or shorter than 4 bytes.
std::optional<uint32_t> AddressOption(const DhcpBuffer& message, uint8_t code);
// The client's identity: option 61 as lower-case hex ("%.2x" per byte, type
// byte included), or when it is absent or empty the first hlen bytes of
// chaddr (at most 16) in the same form.
std::string ClientId(const DhcpBuffer& message);
// Option 12 cut to 31 characters and at its first NUL; empty when absent.
std::string HostName(const DhcpBuffer& message);

// What an OFFER or ACK carries beyond the request's own fields (addresses in
// network order).
struct ReplyOptions {
  uint32_t netmask = 0;
  uint32_t lease_time = kInfiniteLease;  // host order, 0xFFFFFFFF infinite
  uint32_t server_id = 0;
  std::vector<uint32_t> routers;
  std::vector<uint32_t> dns_servers;
};

struct Reply {
  DhcpBuffer bytes{};
  size_t used = 0;  // bytes up to and including the end option
};

// T1 and T2 of a lease time (RFC 2131 section 4.4.5): half and seven eighths,
// the product taken modulo 2^32; fixed values for an infinite lease.
uint32_t RenewalTime(uint32_t lease_time);
uint32_t RebindingTime(uint32_t lease_time);

// OFFER (type 2) or ACK (type 5) for `request`, yiaddr in network order.
Reply BuildOfferOrAck(const DhcpBuffer& request, uint8_t type, uint32_t yiaddr,
                      const ReplyOptions& options);
// NAK: zeros but for op, htype, hlen, xid, the broadcast flag, giaddr,
// chaddr, and options 53 (6) and 54.
Reply BuildNak(const DhcpBuffer& request, uint32_t server_id);

// How many bytes of a reply are sent: 300 (BOOTP's minimum), or more when
// its options run past byte 300, so the end option is never cut off.
size_t SendLength(const Reply& reply);

// Option 3 or 6 from a settings text: items separated by ",", each cut to 15
// characters, blanks around it ignored, parsed as a dotted address; the list
// stops at the first item that does not parse or at an empty rest.
std::vector<uint32_t> AddressList(const std::string& text);

}  // namespace qlm::dhcp
