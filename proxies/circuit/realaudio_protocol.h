// The RealAudio proxy's entry in the engine: daemon "RealAudio", served by
// RealAudioThreadProc with a RealAudioSocket that carries the proxy's
// time-outs.
#pragma once

#include "engine/protocol_entry.h"

namespace qlm::circuit {

const engine::StreamProtocol& RealAudioProtocol();

}  // namespace qlm::circuit
