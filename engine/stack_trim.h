// Giving back the stack pages a connection thread touched on its way in (the
// handshake, name lookups, log lines) before it settles into a long wait: a
// relay or a keep-alive client can sit idle for hours, and each thread would
// otherwise keep its deepest moment resident for all that time.
#pragma once

namespace qlm::engine {

// Releases this thread's stack pages below the caller's frame (with a margin
// for the calls it makes next). The pages come back, zeroed, if a later call
// goes that deep again. Safe to call on any thread, any number of times.
void ReleaseIdleStack();

}  // namespace qlm::engine
