// The RealAudio proxy's connection thread: one per player, started by the
// daemon dispatcher with a RealAudioSocket in its context.
#pragma once

#include "engine/connection_context.h"

namespace qlm::circuit {

int RealAudioThreadProc(engine::ConnectionContextPtr context);

}  // namespace qlm::circuit
