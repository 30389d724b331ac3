// The extra values of a "DNS" daemon entry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qlm::engine {

struct DnsSettings {
  uint32_t broadcast = 1;             // "Broadcast" flag
  uint32_t forward = 0;               // "Forward" flag
  uint32_t ttl = 10800;               // "TTL", seconds
  std::vector<std::string> servers;   // names of the entry's empty subkeys

  bool operator==(const DnsSettings&) const = default;
};

}  // namespace qlm::engine
