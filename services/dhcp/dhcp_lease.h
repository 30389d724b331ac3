// One lease of the DHCP server: which client holds which address since when
// and for how long.
#pragma once

#include <cstdint>
#include <string>

#include "services/dhcp/dhcp_wire.h"

namespace qlm::dhcp {

struct DhcpLease {
  uint32_t address = 0;         // host order
  std::string client_id;        // lower-case hex
  std::string host_name;        // at most 31 characters
  uint32_t assign_time = 0;     // seconds since 1970-01-01 UTC
  uint32_t lease_time = 0;      // seconds; 0xFFFFFFFF infinite

  bool Infinite() const { return lease_time == kInfiniteLease; }
  // Not infinite and assign time + lease time earlier than now (counted
  // without wrapping at 2^32).
  bool Expired(uint32_t now) const {
    return !Infinite() && static_cast<uint64_t>(assign_time) + lease_time < now;
  }
  bool operator==(const DhcpLease&) const = default;
};

}  // namespace qlm::dhcp
