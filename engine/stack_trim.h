// Giving back the stack pages a connection thread touched on its way in (the
// handshake, name lookups, log lines) before it settles into a long wait: a
// relay or a keep-alive client can sit idle for hours, and each thread would
// otherwise keep its deepest moment resident for all that time.
#pragma once

#include <chrono>

namespace qlm::engine {

// Waits are split here: a connection still quiet after this long is settling
// into a long wait and gives its deep stack pages back then. Short-lived
// connections never pay for the release (each one flushes the address-space
// caches of every processor running the engine).
inline constexpr std::chrono::milliseconds kStackSettleTime{1000};

// Releases this thread's stack pages below the caller's frame (with a margin
// for the calls it makes next). The pages come back, zeroed, if a later call
// goes that deep again. Safe to call on any thread, any number of times.
void ReleaseIdleStack();

}  // namespace qlm::engine
