// The VerifyIP check: one ICMP echo request without data to an address and a
// short wait for its reply. Sent from an unprivileged ICMP socket when the
// system allows one (net.ipv4.ping_group_range), else from a raw socket;
// when neither can be opened no machine counts as answering.
#pragma once

#include <cstdint>

#include "net/timeout.h"
#include "services/dhcp/dhcp_config.h"

namespace qlm::dhcp {

class CIcmpEcho : public IAddressProbe {
 public:
  explicit CIcmpEcho(net::Timeout wait) : wait_(wait) {}

  // True when an echo reply from `address` (host order) arrives within the
  // wait. The wait ends early, false, when the engine stops.
  bool Answers(uint32_t address) override;

 private:
  net::Timeout wait_;
};

}  // namespace qlm::dhcp
