// The RealAudio proxy's entry in the engine.
#include "proxies/circuit/realaudio_protocol.h"

#include "engine/timeout_overrides.h"
#include "proxies/circuit/realaudio_socket.h"
#include "proxies/circuit/realaudio_thread.h"

namespace qlm::circuit {
namespace {

RealAudioTimeouts ConfiguredTimeouts() {
  RealAudioTimeouts t;
  t.handshake = engine::TimeoutOr("realaudio.handshake", t.handshake);
  return t;
}

std::unique_ptr<net::CBlockingSocket> MakeClient() {
  static const RealAudioTimeouts timeouts = ConfiguredTimeouts();
  return std::make_unique<RealAudioSocket>(timeouts);
}

}  // namespace

const engine::StreamProtocol& RealAudioProtocol() {
  static const engine::StreamProtocol entry{kRealAudioDaemonName, &MakeClient,
                                            &RealAudioThreadProc};
  return entry;
}

}  // namespace qlm::circuit
