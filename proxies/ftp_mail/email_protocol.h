// The e-mail proxy's entry in the engine: daemon "Email", served by
// EmailThreadProc with a client object that carries the connection's waits.
#pragma once

#include "engine/protocol_entry.h"
#include "proxies/ftp_mail/mail_wire.h"

namespace qlm::ftp {

const engine::StreamProtocol& EmailProtocol();

// The waits with the engine's overrides (QUILLMAR_TIMEOUTS "email.*").
mail::EmailTimeouts ConfiguredEmailTimeouts();

}  // namespace qlm::ftp
