// The RealAudio proxy's entry in the engine.
#include "proxies/circuit/realaudio_protocol.h"

#include "proxies/circuit/realaudio_socket.h"
#include "proxies/circuit/realaudio_thread.h"

namespace qlm::circuit {
namespace {

std::unique_ptr<net::CBlockingSocket> MakeClient() {
  return std::make_unique<RealAudioSocket>(RealAudioTimeouts{});
}

}  // namespace

const engine::StreamProtocol& RealAudioProtocol() {
  static const engine::StreamProtocol entry{kRealAudioDaemonName, &MakeClient,
                                            &RealAudioThreadProc};
  return entry;
}

}  // namespace qlm::circuit
