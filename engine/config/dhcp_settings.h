// The extra values of a "DHCP" daemon entry.
#pragma once

#include <cstdint>
#include <string>

namespace qlm::engine {

struct DhcpSettings {
  std::string from_addr;              // "FromAddr"
  std::string to_addr;                // "ToAddr"
  std::string netmask;                // "Netmask"
  std::string gateway;                // "Gateway"
  std::string dns;                    // "DNS"
  int32_t leasing_time = -1;          // "LeasingTime"; -1 no limit (stored 0 reads as -1)
  uint32_t verify_ip = 1;             // "VerifyIP" flag
  uint32_t default_dns = 1;           // "DefaultDNS" flag
  uint32_t default_gateway = 1;       // "DefaultGateway" flag

  bool operator==(const DhcpSettings&) const = default;
};

}  // namespace qlm::engine
