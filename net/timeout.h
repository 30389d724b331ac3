// Time-outs of the socket layer. Callers think in whole seconds (30 for
// handshake reads and writes, 120 for outward connects, ...), but every wait
// takes milliseconds so that tests can pass 50 ms instead.
#pragma once

#include <chrono>

namespace qlm::net {

using Timeout = std::chrono::milliseconds;

// A wait without time-out (the dispatcher's and manager listener's waits).
inline constexpr Timeout kWaitForever{-1};

// How long an outward connection lingers to deliver what is left at close.
inline constexpr std::chrono::seconds kOutwardLinger{30};

}  // namespace qlm::net
