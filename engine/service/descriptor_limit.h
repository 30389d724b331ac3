// The engine's descriptor limit. Each connection holds a client and a server
// descriptor, so MaxConnections (2000 by default) needs more than 4000, while
// a process starts with a soft limit of 1024 almost everywhere; the hard
// limit is what the administrator (or the unit's LimitNOFILE) allows.
#pragma once

namespace qlm::engine {

// Raises the soft RLIMIT_NOFILE to the hard limit (to the kernel's nr_open
// when the hard limit is unlimited). Called first thing at start, in every
// mode, before anything is opened. false when the limit could not be read or
// set; the engine then goes on with the limit it has.
bool RaiseDescriptorLimit();

}  // namespace qlm::engine
