// Fuzzes the DHCP message reading and reply building: the input is a
// datagram (its first 548 bytes kept), read the way the worker reads it,
// then answered with every reply kind, the input's tail doubling as the
// settings' router and DNS texts. Nothing may read or write outside the
// buffer, and every reply must end in its end option within 548 bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "services/dhcp/dhcp_message.h"

namespace {

using namespace qlm::dhcp;

void Check(bool holds) {
  if (!holds) {
    std::abort();
  }
}

void CheckReply(const Reply& reply) {
  Check(reply.used > kOffOptions && reply.used <= kMessageSize);
  Check(reply.bytes[reply.used - 1] == kOptEnd);
  Check(SendLength(reply) >= kReplySendSize && SendLength(reply) <= kMessageSize);
  Check(MessageType(reply.bytes) != 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const DhcpBuffer request = MakeRequestBuffer(reinterpret_cast<const char*>(data), size);
  const uint8_t type = MessageType(request);
  (void)type;
  (void)XidNumber(request);
  const std::string id = ClientId(request);
  Check(id.size() % 2 == 0 && id.size() <= 2 * 255);
  Check(HostName(request).size() <= kHostNameMax);
  const uint32_t requested = AddressOption(request, kOptRequestedIp).value_or(0);
  (void)AddressOption(request, kOptServerId);

  const size_t half = size / 2;
  const std::string text(reinterpret_cast<const char*>(data) + half, size - half);
  ReplyOptions options;
  options.netmask = requested;
  options.lease_time = size > 4 ? static_cast<uint32_t>(data[0]) << 24 | data[1] << 16 |
                                      data[2] << 8 | data[3]
                                : kInfiniteLease;
  options.server_id = requested;
  options.routers = AddressList(text);
  options.dns_servers = AddressList(text + "," + text);
  CheckReply(BuildOfferOrAck(request, kDhcpOffer, requested, options));
  CheckReply(BuildOfferOrAck(request, kDhcpAck, requested, options));
  CheckReply(BuildNak(request, requested));
  return 0;
}
