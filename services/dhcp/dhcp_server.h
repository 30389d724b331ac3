// The DHCP server's shared state: the lease table and the configuration
// every DHCP worker reads. The engine holds one (dhcp_protocol.cpp), set up
// when the DHCP listener is made; tests make their own.
#pragma once

#include <string>

#include "engine/config/protocol_settings.h"
#include "services/dhcp/dhcp_config.h"
#include "services/dhcp/dhcp_lease_table.h"

namespace qlm::dhcp {

struct DhcpServerConfig {
  engine::DhcpSettings settings;
  DhcpTimeouts timeouts;
  DhcpReplyPorts ports;
};

class CDhcpServer {
 public:
  CDhcpServer(const IClock& clock, IAddressProbe* probe) : table_(clock, probe) {}
  CDhcpServer(const CDhcpServer&) = delete;
  CDhcpServer& operator=(const CDhcpServer&) = delete;

  // Keeps the configuration and sets the lease table up from its settings
  // (range, VerifyIP) and the host's own addresses (host order). False when
  // the range cannot be served (the table then offers nothing).
  bool SetUp(const DhcpServerConfig& config, const std::vector<uint32_t>& own_addresses);

  DhcpLeaseTable& Table() { return table_; }
  const DhcpServerConfig& Config() const { return config_; }
  // LeasingTime as the leases and option 51 carry it (0xFFFFFFFF infinite).
  uint32_t LeaseTime() const;

 private:
  DhcpLeaseTable table_;
  DhcpServerConfig config_;  // set once, before any worker runs
};

}  // namespace qlm::dhcp
