// The request check and name reading, and the test of an upstream reply.
#include "services/dns/dns_request.h"

#include <arpa/inet.h>

#include "services/dns/dns_wire.h"

namespace qlm::dns {

using net::ParseStatus;

namespace {

uint16_t Read16(const uint8_t* data, size_t offset) {
  return static_cast<uint16_t>((data[offset] << 8) | data[offset + 1]);
}

}  // namespace

bool DnsRequest::IsAddressQuery() const { return qtype == kTypeA && qclass == kClassIn; }

// Labels are appended with a "." after each; a length byte above 63 jumps to
// the offset in its low 14 bits. The text may never reach 255 characters,
// and a chain of jumps is bounded, so a loop of pointers ends as invalid.
ParseStatus ReadDnsName(const uint8_t* data, size_t size, size_t offset, std::string* name,
                        size_t* end) {
  name->clear();
  size_t at = offset;
  bool jumped = false;
  int jumps = 0;
  for (;;) {
    if (at >= size) {
      return ParseStatus::kInvalid;
    }
    const uint8_t length = data[at];
    if (length == 0) {
      if (!jumped) {
        *end = at + 1;
      }
      break;
    }
    if (length > kMaxLabelLength) {
      if (at + 1 >= size || ++jumps > kMaxPointerJumps) {
        return ParseStatus::kInvalid;
      }
      if (!jumped) {
        *end = at + 2;
        jumped = true;
      }
      at = Read16(data, at) & kPointerOffsetMask;
      continue;
    }
    if (at + 1 + length > size || name->size() + length + 1 >= kNameTextLimit) {
      return ParseStatus::kInvalid;
    }
    name->append(reinterpret_cast<const char*>(data + at + 1), length);
    name->push_back('.');
    at += 1 + length;
  }
  if (!name->empty()) {
    name->pop_back();
  }
  return ParseStatus::kDone;
}

ParseStatus CheckDnsRequest(const uint8_t* data, size_t size, DnsRequest* request) {
  if (size < kHeaderSize) {
    return ParseStatus::kInvalid;
  }
  if ((data[kFlags1] & (kFlagQr | kOpcodeMask)) != 0 || (data[kFlags2] & kRcodeMask) != 0 ||
      Read16(data, kQdCount) != 1) {
    return ParseStatus::kInvalid;
  }
  size_t end = 0;
  if (ReadDnsName(data, size, kHeaderSize, &request->name, &end) != ParseStatus::kDone) {
    return ParseStatus::kInvalid;
  }
  if (end + 4 > size) {
    return ParseStatus::kInvalid;
  }
  request->question_position = end;
  request->qtype = Read16(data, end);
  request->qclass = Read16(data, end + 2);
  return ParseStatus::kDone;
}

bool IsUsableUpstreamReply(const uint8_t* data, size_t size, const sockaddr_in& from) {
  return size >= kMinReplyLength && ntohs(from.sin_port) == kDnsPort &&
         (data[kFlags1] & kFlagQr) != 0 && (data[kFlags1] & kOpcodeMask) == 0 &&
         (data[kFlags2] & kRcodeMask) == 0;
}

}  // namespace qlm::dns
