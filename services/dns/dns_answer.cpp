// The local answers and the name-error echo.
#include "services/dns/dns_answer.h"

#include "services/dns/dns_wire.h"

namespace qlm::dns {

namespace {

void Put16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value & 0xFF));
}

void Put32(Bytes& out, uint32_t value) {
  Put16(out, static_cast<uint16_t>(value >> 16));
  Put16(out, static_cast<uint16_t>(value & 0xFFFF));
}

void Set16(Bytes& out, size_t offset, uint16_t value) {
  out[offset] = static_cast<uint8_t>(value >> 8);
  out[offset + 1] = static_cast<uint8_t>(value & 0xFF);
}

// Header and question copied from the query, with one question and no
// records counted.
Bytes QuestionOnly(const Bytes& query, const DnsRequest& request) {
  Bytes out(query.begin(), query.begin() + static_cast<long>(request.QuestionEnd()));
  Set16(out, kQdCount, 1);
  Set16(out, kAnCount, 0);
  Set16(out, kNsCount, 0);
  Set16(out, kArCount, 0);
  return out;
}

void MarkNameError(Bytes& out) {
  out[kFlags1] |= kNameErrorFlags1;
  out[kFlags2] = static_cast<uint8_t>((out[kFlags2] & kNameErrorKeep2) | kNameErrorFlags2);
}

// One record; false (nothing appended) when the answer would reach the limit.
bool AppendRecord(Bytes& out, const Bytes& owner, uint16_t type, uint32_t ttl,
                  const Bytes& data) {
  const size_t record = owner.size() + 10 + data.size();
  if (out.size() + record >= kAnswerLimit) {
    return false;
  }
  out.insert(out.end(), owner.begin(), owner.end());
  Put16(out, type);
  Put16(out, kClassIn);
  Put32(out, ttl);
  Put16(out, static_cast<uint16_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  return true;
}

}  // namespace

Bytes EncodeDnsName(const std::string& name) {
  Bytes out;
  if (name.empty() || name.size() >= kNameTextLimit) {
    return out;
  }
  size_t start = 0;
  while (start <= name.size()) {
    size_t dot = name.find('.', start);
    if (dot == std::string::npos) {
      dot = name.size();
    }
    const size_t length = dot - start;
    if (length == 0 || length > kMaxLabelLength) {
      return Bytes{};
    }
    out.push_back(static_cast<uint8_t>(length));
    out.insert(out.end(), name.begin() + static_cast<long>(start),
               name.begin() + static_cast<long>(dot));
    start = dot + 1;
  }
  out.push_back(0);
  return out;
}

Bytes BuildNameError(const Bytes& query, const DnsRequest& request) {
  Bytes out = QuestionOnly(query, request);
  MarkNameError(out);
  return out;
}

Bytes BuildEmptyAnswer(const Bytes& query, const DnsRequest& request) {
  Bytes out = QuestionOnly(query, request);
  out[kFlags1] = static_cast<uint8_t>((out[kFlags1] & ~kFlagAa) | kFlagQr);
  out[kFlags2] |= kFlagRa;
  return out;
}

Bytes BuildAddressAnswer(const Bytes& query, const DnsRequest& request, const LocalHost& host,
                         uint32_t ttl) {
  Bytes out = BuildEmptyAnswer(query, request);
  uint16_t count = 0;
  const Bytes official = EncodeDnsName(host.official_name);
  if (host.official_name != request.name) {
    const Bytes owner = EncodeDnsName(request.name);
    if (!owner.empty() && !official.empty() &&
        AppendRecord(out, owner, kTypeCname, ttl, official)) {
      ++count;
    }
  }
  if (!official.empty()) {
    for (const in_addr& address : host.addresses) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(&address.s_addr);
      if (!AppendRecord(out, official, kTypeA, ttl, Bytes(bytes, bytes + 4))) {
        break;
      }
      ++count;
    }
  }
  Set16(out, kAnCount, count);
  return out;
}

Bytes BuildNameErrorEcho(const Bytes& query) {
  Bytes out = query;
  if (out.size() >= kHeaderSize) {
    MarkNameError(out);
  }
  return out;
}

}  // namespace qlm::dns
