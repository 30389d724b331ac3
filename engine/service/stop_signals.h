// SIGINT and SIGTERM stop the engine: they are blocked in every thread and
// taken by one thread of their own, which signals StopEvent (and in debug
// mode first prints "Stopping Quillmar Service.").
#pragma once

#include "engine/service/engine_events.h"

namespace qlm::engine {

// Call before any other thread starts, so every thread inherits the mask.
void BlockStopSignals();
// Starts the thread that waits for them. false when it cannot be started.
bool StartStopSignalThread(CEngineEvents& events, bool print_stopping);

}  // namespace qlm::engine
