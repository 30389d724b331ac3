// What the DHCP server is configured with beyond its stored settings: its
// time-outs, the clock its leases read, the echo check of VerifyIP, and the
// reply ports (tests point replies at ports of their own).
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <ctime>

#include "net/timeout.h"
#include "services/dhcp/dhcp_wire.h"

namespace qlm::dhcp {

struct DhcpTimeouts {
  // Writing a reply, as every other write of the engine.
  net::Timeout send = std::chrono::seconds(30);
  // How long an echo request waits for its reply.
  net::Timeout ping = std::chrono::milliseconds(125);
};

// Seconds since 1970-01-01 UTC, as the leases keep them.
class IClock {
 public:
  virtual ~IClock() = default;
  virtual uint32_t Now() const = 0;
};

class CSystemClock : public IClock {
 public:
  uint32_t Now() const override { return static_cast<uint32_t>(std::time(nullptr)); }
  static CSystemClock& Instance() {
    static CSystemClock clock;
    return clock;
  }
};

// Whether some machine answers at an address (VerifyIP). Host order.
class IAddressProbe {
 public:
  virtual ~IAddressProbe() = default;
  virtual bool Answers(uint32_t address) = 0;
};

// Where replies go: clients on port 68 of the broadcast address, relay
// agents on port 67 of giaddr.
struct DhcpReplyPorts {
  uint16_t client_port = kClientPort;
  uint16_t relay_port = kServerPort;
  in_addr_t broadcast = INADDR_BROADCAST;  // network order
};

}  // namespace qlm::dhcp
