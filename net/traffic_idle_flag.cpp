// The engine-wide outgoing-traffic flag read by the dial-up idle monitor.
#include "net/traffic_idle_flag.h"

namespace qlm::net {

std::atomic<uint32_t>& TrafficIdleFlag() {
  // Starts at 1: no traffic has been sent yet.
  static std::atomic<uint32_t> flag{1};
  return flag;
}

}  // namespace qlm::net
