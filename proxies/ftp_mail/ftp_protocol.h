// The FTP proxy's entry in the engine: daemon "FTP", served by
// FtpCmdThreadProc with a command socket that carries the proxy's waits.
#pragma once

#include "engine/protocol_entry.h"

namespace qlm::ftp {

const engine::StreamProtocol& FtpProtocol();

}  // namespace qlm::ftp
