// The keep-alive probe: one small DNS query that makes the line carry traffic
// so that the provider does not drop it as idle.
//
//   offset  bytes                       field
//   0       00 01                       identifier 1
//   2       00 00                       flags 0 (recursion not requested)
//   4       00 01                       one question
//   6       00 00 00 00 00 00           no answer, authority or additional records
//   12      03 'www' 09 'microsoft'     the host name as labels (RFC 1035 3.1),
//           03 'com' 00                 19 bytes
//   31      00 01                       type A
//   33      00 01                       class IN
//   35      end
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <vector>

namespace qlm::dialup {

// A well-known public web host whose labels have 3, 9 and 3 letters.
inline constexpr const char* kKeepAliveHost = "www.microsoft.com";
inline constexpr size_t kKeepAliveQuerySize = 35;

// The query's bytes, as above.
std::vector<uint8_t> KeepAliveQuery();

// Sends `datagram` from a fresh datagram socket with broadcast on. It does not
// go through the socket layer's datagram send, which would count as outgoing
// traffic and keep the idle countdown from running. Errors are swallowed.
void SendKeepAlive(const std::vector<uint8_t>& datagram, const sockaddr_in& to);

}  // namespace qlm::dialup
