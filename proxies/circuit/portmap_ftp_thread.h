// The FTP-aware TCP mapping: an FTP server behind the proxy, its clients
// outside. The dialogue is relayed line by line; a client's PORT command is
// answered by a data listener of the proxy's own toward the server, whose
// data connections are relayed to the client's data address.
#pragma once

#include "engine/connection_context.h"

namespace qlm::circuit {

// Client: the accepted CFtpCmdSocket; Daemon: its PortMapListener. Owns the
// context; returns 0.
int PortMapFTPClientThreadProc(engine::ConnectionContextPtr context);

}  // namespace qlm::circuit
