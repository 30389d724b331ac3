// Set to 0 by every send of the socket layer; the dial-up idle monitor
// exchanges 1 into it on every tick and reads an old 0 as outgoing traffic.
#pragma once

#include <atomic>
#include <cstdint>

namespace qlm::net {

std::atomic<uint32_t>& TrafficIdleFlag();

}  // namespace qlm::net
