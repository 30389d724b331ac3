// The SOCKS server's entry in the engine.
#include "proxies/socks/socks_protocol.h"

#include "engine/timeout_overrides.h"

#include "proxies/socks/client_socket.h"
#include "proxies/socks/client_thread.h"

namespace qlm::socks {
namespace {

std::unique_ptr<net::CBlockingSocket> MakeClient() {
  static const SocksTimeouts timeouts = [] {
    SocksTimeouts t;
    t.handshake = engine::TimeoutOr("socks.handshake", t.handshake);
    return t;
  }();
  return std::make_unique<CClientSocket>(timeouts);
}

}  // namespace

const engine::StreamProtocol& SocksProtocol() {
  static const engine::StreamProtocol entry{"SOCKS", &MakeClient, &ClientThreadProc};
  return entry;
}

}  // namespace qlm::socks
