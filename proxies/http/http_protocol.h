// The HTTP proxy's entry in the engine: daemon "HTTP", served by
// HttpClientThreadProc; its configure step takes the General flags and the
// update-check signal from the engine.
#pragma once

#include "engine/protocol_entry.h"
#include "proxies/http/http_proxy_config.h"

namespace qlm::http {

const engine::StreamProtocol& HttpProtocol();

// The proxy's configuration built from what the engine hands every protocol.
HttpProxyConfig HttpConfigFrom(const engine::ProtocolSetup& setup);

}  // namespace qlm::http
