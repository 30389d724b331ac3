// Setting the DHCP server up from its settings.
#include "services/dhcp/dhcp_server.h"

namespace qlm::dhcp {

bool CDhcpServer::SetUp(const DhcpServerConfig& config,
                        const std::vector<uint32_t>& own_addresses) {
  config_ = config;
  const engine::DhcpSettings& settings = config_.settings;
  const std::optional<DhcpRange> range =
      ParseRange(settings.FromAddr, settings.ToAddr, settings.Netmask);
  table_.SetUp(range, settings.VerifyIP != 0, own_addresses);
  return range.has_value();
}

uint32_t CDhcpServer::LeaseTime() const {
  // A stored 0 is read as -1 already; any other value is taken as it stands.
  return static_cast<uint32_t>(config_.settings.LeasingTime);
}

}  // namespace qlm::dhcp
