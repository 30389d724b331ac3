// Shorter waits for end-to-end tests, which cannot reach into the engine:
// QUILLMAR_TIMEOUTS="portmap.bi_udp=300,portmap.ftp_idle=500" names a wait
// and its length in milliseconds. A protocol's configure step asks for each
// of its waits; a name not given keeps the protocol's own value. The variable
// is read once; an administrator never needs it.
#pragma once

#include "net/timeout.h"

namespace qlm::engine {

net::Timeout TimeoutOr(const char* name, net::Timeout fallback);

}  // namespace qlm::engine
