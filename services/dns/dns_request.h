// The checks the relay makes on bytes from the network, pure and
// socket-free: the client's request (header bits, one question, the name)
// and an upstream server's reply. A datagram arrives whole, so the only
// answers are kDone and kInvalid.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/parse_status.h"

namespace qlm::dns {

// What the request check learns about a query.
struct DnsRequest {
  // Where QTYPE starts: the question goes on after the name's end or after
  // its first compression pointer.
  size_t question_position = 0;
  std::string name;  // QNAME as dotted text, without a trailing dot
  uint16_t qtype = 0;
  uint16_t qclass = 0;

  // The question's last byte + 1.
  size_t QuestionEnd() const { return question_position + 4; }
  bool IsAddressQuery() const;  // type A, class IN
};

// Reads the name at `offset` (RFC 1035 section 4.1.4) into `*name` as dotted
// text without the trailing dot; `*end` gets the offset just after the name
// as it stands at `offset` (after the first pointer when there is one).
// kInvalid: a label or pointer past the end, a pointer loop, or a text of
// 255 characters or more.
net::ParseStatus ReadDnsName(const uint8_t* data, size_t size, size_t offset, std::string* name,
                             size_t* end);

// The check of a standard query with one question (RFC 1035 section 4.1.1):
// QR, Opcode and RCODE 0, QDCOUNT 1, a readable name, QTYPE and QCLASS
// present. Whether the type and class are served is the caller's choice.
net::ParseStatus CheckDnsRequest(const uint8_t* data, size_t size, DnsRequest* request);

// An upstream datagram worth relaying: longer than a header, from port 53,
// QR set, Opcode and RCODE 0.
bool IsUsableUpstreamReply(const uint8_t* data, size_t size, const sockaddr_in& from);

}  // namespace qlm::dns
