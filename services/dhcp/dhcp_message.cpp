// Reading requests and building replies over the message buffer.
#include "services/dhcp/dhcp_message.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qlm::dhcp {

namespace {

// A dotted address item keeps at most this many characters.
constexpr size_t kAddressItemMax = 15;
// One option's data holds at most 255 bytes: 63 addresses.
constexpr size_t kMaxOptionData = 255;

void Put32(uint8_t* at, uint32_t host_order) {
  const uint32_t net = htonl(host_order);
  std::memcpy(at, &net, 4);
}

// Appends options while they and the end option fit before byte 548.
class COptionWriter {
 public:
  explicit COptionWriter(Reply& reply) : reply_(reply) {}

  bool Fits(size_t data_length) const { return pos_ + 2 + data_length + 1 <= kMessageSize; }
  size_t Room() const { return pos_ + 3 <= kMessageSize ? kMessageSize - pos_ - 3 : 0; }

  void Add(uint8_t code, const uint8_t* data, size_t length) {
    if (!Fits(length)) {
      return;
    }
    reply_.bytes[pos_] = code;
    reply_.bytes[pos_ + 1] = static_cast<uint8_t>(length);
    std::memcpy(&reply_.bytes[pos_ + 2], data, length);
    pos_ += 2 + length;
  }
  void AddByte(uint8_t code, uint8_t value) { Add(code, &value, 1); }
  void AddNumber(uint8_t code, uint32_t host_order) {
    uint8_t data[4];
    Put32(data, host_order);
    Add(code, data, 4);
  }
  void AddAddress(uint8_t code, uint32_t net_order) {
    Add(code, reinterpret_cast<const uint8_t*>(&net_order), 4);
  }
  // As many addresses as fit; an empty list adds nothing.
  void AddAddresses(uint8_t code, const std::vector<uint32_t>& addresses) {
    const size_t fit = std::min(Room(), kMaxOptionData) / 4;
    const size_t count = std::min(addresses.size(), fit);
    if (count == 0) {
      return;
    }
    Add(code, reinterpret_cast<const uint8_t*>(addresses.data()), count * 4);
  }
  void End() {
    reply_.bytes[pos_] = kOptEnd;
    reply_.used = pos_ + 1;
  }

 private:
  Reply& reply_;
  size_t pos_ = kOffOptions;  // room for the end option is always kept
};

void StartReply(Reply& reply, const DhcpBuffer& request) {
  reply.bytes.fill(0);
  std::memcpy(&reply.bytes[kOffCookie], kMagicCookie, 4);
  reply.bytes[kOffOp] = kOpBootReply;
  reply.bytes[kOffHtype] = request[kOffHtype];
  reply.bytes[kOffHlen] = request[kOffHlen];
  std::memcpy(&reply.bytes[kOffXid], &request[kOffXid], 4);
  std::memcpy(&reply.bytes[kOffGiaddr], &request[kOffGiaddr], 4);
  std::memcpy(&reply.bytes[kOffChaddr], &request[kOffChaddr], kChaddrSize);
}

std::string Hex(const uint8_t* data, size_t length) {
  std::string text;
  text.reserve(length * 2);
  char two[3];
  for (size_t i = 0; i < length; ++i) {
    std::snprintf(two, sizeof two, "%.2x", data[i]);
    text += two;
  }
  return text;
}

std::string Trimmed(const std::string& item) {
  const size_t first = item.find_first_not_of(" \t");
  if (first == std::string::npos) {
    return std::string();
  }
  const size_t last = item.find_last_not_of(" \t");
  return item.substr(first, last - first + 1);
}

}  // namespace

DhcpBuffer MakeRequestBuffer(const char* data, size_t length) {
  DhcpBuffer buffer{};
  std::memcpy(buffer.data(), data, std::min(length, kMessageSize));
  return buffer;
}

std::optional<OptionView> FindOption(const DhcpBuffer& message, uint8_t code) {
  size_t pos = kOffOptions;
  while (pos < kMessageSize) {
    const uint8_t at = message[pos];
    if (at == kOptEnd) {
      break;
    }
    if (at == kOptPad) {
      ++pos;
      continue;
    }
    if (pos + 1 >= kMessageSize) {
      break;
    }
    const size_t length = message[pos + 1];
    if (pos + 2 + length > kMessageSize) {
      break;
    }
    if (at == code) {
      return OptionView{&message[pos + 2], length};
    }
    pos += 2 + length;
  }
  return std::nullopt;
}

uint8_t MessageType(const DhcpBuffer& message) {
  const std::optional<OptionView> type = FindOption(message, kOptMessageType);
  return type && type->length >= 1 ? type->data[0] : 0;
}

int32_t XidNumber(const DhcpBuffer& message) {
  const uint32_t value = static_cast<uint32_t>(message[kOffXid]) |
                         static_cast<uint32_t>(message[kOffXid + 1]) << 8 |
                         static_cast<uint32_t>(message[kOffXid + 2]) << 16 |
                         static_cast<uint32_t>(message[kOffXid + 3]) << 24;
  return static_cast<int32_t>(value);
}

uint32_t AddressField(const DhcpBuffer& message, size_t offset) {
  uint32_t value = 0;
  std::memcpy(&value, &message[offset], 4);
  return value;
}

std::optional<uint32_t> AddressOption(const DhcpBuffer& message, uint8_t code) {
  const std::optional<OptionView> option = FindOption(message, code);
  if (!option || option->length < 4) {
    return std::nullopt;
  }
  uint32_t value = 0;
  std::memcpy(&value, option->data, 4);
  return value;
}

std::string ClientId(const DhcpBuffer& message) {
  const std::optional<OptionView> id = FindOption(message, kOptClientId);
  if (id && id->length > 0) {
    return Hex(id->data, id->length);
  }
  const size_t hlen = std::min<size_t>(message[kOffHlen], kChaddrSize);
  return Hex(&message[kOffChaddr], hlen);
}

std::string HostName(const DhcpBuffer& message) {
  const std::optional<OptionView> name = FindOption(message, kOptHostName);
  if (!name) {
    return std::string();
  }
  const char* text = reinterpret_cast<const char*>(name->data);
  const size_t length = std::min(strnlen(text, name->length), kHostNameMax);
  return std::string(text, length);
}

uint32_t RenewalTime(uint32_t lease_time) {
  return lease_time == kInfiniteLease ? kInfiniteRenewal : lease_time / 2;
}

uint32_t RebindingTime(uint32_t lease_time) {
  return lease_time == kInfiniteLease ? kInfiniteRebinding
                                      : static_cast<uint32_t>(7u * lease_time) / 8;
}

Reply BuildOfferOrAck(const DhcpBuffer& request, uint8_t type, uint32_t yiaddr,
                      const ReplyOptions& options) {
  Reply reply;
  StartReply(reply, request);
  std::memcpy(&reply.bytes[kOffFlags], &request[kOffFlags], 2);
  std::memcpy(&reply.bytes[kOffYiaddr], &yiaddr, 4);
  COptionWriter writer(reply);
  writer.AddByte(kOptMessageType, type);
  writer.AddAddress(kOptSubnetMask, options.netmask);
  writer.AddNumber(kOptRenewalTime, RenewalTime(options.lease_time));
  writer.AddNumber(kOptRebindingTime, RebindingTime(options.lease_time));
  writer.AddNumber(kOptLeaseTime, options.lease_time);
  writer.AddAddress(kOptServerId, options.server_id);
  writer.AddAddresses(kOptRouters, options.routers);
  writer.AddAddresses(kOptDnsServers, options.dns_servers);
  writer.End();
  return reply;
}

Reply BuildNak(const DhcpBuffer& request, uint32_t server_id) {
  Reply reply;
  StartReply(reply, request);
  const uint16_t broadcast = htons(kFlagBroadcast);
  std::memcpy(&reply.bytes[kOffFlags], &broadcast, 2);
  COptionWriter writer(reply);
  writer.AddByte(kOptMessageType, kDhcpNak);
  writer.AddAddress(kOptServerId, server_id);
  writer.End();
  return reply;
}

size_t SendLength(const Reply& reply) { return std::max(kReplySendSize, reply.used); }

std::vector<uint32_t> AddressList(const std::string& text) {
  std::vector<uint32_t> addresses;
  size_t start = 0;
  while (start < text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string item = Trimmed(text.substr(start, comma - start).substr(0, kAddressItemMax));
    in_addr address{};
    if (item.empty() || inet_pton(AF_INET, item.c_str(), &address) != 1) {
      break;
    }
    addresses.push_back(address.s_addr);
    start = comma + 1;
  }
  return addresses;
}

}  // namespace qlm::dhcp
