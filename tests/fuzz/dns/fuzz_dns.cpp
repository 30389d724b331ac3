// The DNS relay's parsers and answer builders on arbitrary bytes: the
// request check and name reading (pointer loops, labels past the end, the
// 255 limit) never read outside the datagram and always end; for every
// request that passes, the local answers keep their shape (the question
// copied, counts as written, below 511 bytes) whatever the resolver says.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "services/dns/dns_answer.h"
#include "services/dns/dns_request.h"
#include "services/dns/dns_wire.h"

using namespace qlm::dns;

namespace {

void Require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

uint16_t Read16(const Bytes& bytes, size_t offset) {
  return static_cast<uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

// A resolver's answer made from the query's own bytes: an official name and
// up to 64 addresses.
LocalHost HostFrom(const uint8_t* data, size_t size, const DnsRequest& request) {
  LocalHost host;
  const size_t name_length = size > 0 ? data[size - 1] % 300 : 0;
  host.official_name = name_length % 3 == 0 ? request.name
                                             : std::string(name_length, 'a') + ".example";
  const size_t count = size > 1 ? data[size - 2] % 64 : 1;
  for (size_t i = 0; i < count; ++i) {
    in_addr a{};
    a.s_addr = htonl(static_cast<uint32_t>(i));
    host.addresses.push_back(a);
  }
  return host;
}

void CheckAnswers(const Bytes& query, const DnsRequest& request, const LocalHost& host) {
  const Bytes error = BuildNameError(query, request);
  Require(error.size() == request.QuestionEnd());
  Require((error[kFlags2] & kRcodeMask) == 3);
  const Bytes empty = BuildEmptyAnswer(query, request);
  Require(empty.size() == request.QuestionEnd() && Read16(empty, kAnCount) == 0);
  const Bytes answer = BuildAddressAnswer(query, request, host, 600);
  Require(answer.size() < kAnswerLimit || Read16(answer, kAnCount) == 0);
  Require(Read16(answer, kAnCount) <= host.addresses.size() + 1);
  const Bytes echo = BuildNameErrorEcho(query);
  Require(echo.size() == query.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Name reading from any offset ends, and its text stays below the limit.
  if (size > 0) {
    std::string name;
    size_t end = 0;
    if (ReadDnsName(data, size, data[0] % size, &name, &end) == qlm::net::ParseStatus::kDone) {
      Require(name.size() < kNameTextLimit && end <= size);
    }
  }
  DnsRequest request;
  if (CheckDnsRequest(data, size, &request) != qlm::net::ParseStatus::kDone) {
    return 0;
  }
  Require(request.QuestionEnd() <= size && request.name.size() < kNameTextLimit);
  const Bytes query(data, data + size);
  CheckAnswers(query, request, HostFrom(data, size, request));
  return 0;
}
