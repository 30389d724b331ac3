// The service body every mode runs: read the configuration, open the log,
// the connection limit, the manager port and the listeners, then run the main
// loop until StopEvent, and stop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "engine/service/engine_configuration.h"
#include "engine/service/engine_events.h"
#include "engine/service/listener_set.h"
#include "net/blocking_socket.h"
#include "net/timeout.h"

namespace qlm::engine {

// The pause between the shutdown wake-up and the process exit, which lets the
// connection threads finish.
inline constexpr net::Timeout kStopPause{1500};

struct ServiceOptions {
  // The manager port; $QUILLMAR_MANAGER_PORT may replace it (tests only).
  uint16_t manager_port;
  net::Timeout stop_pause = kStopPause;
  // Where the configuration comes from: LoadEngineConfiguration in the
  // engine, a fixed one in tests.
  std::function<std::unique_ptr<EngineConfiguration>()> load;
  // Told of each daemon and port-mapping listener as it opens; may be empty.
  std::function<void(const CListenerRecord&)> listener_opened;
};

// The manager port: $QUILLMAR_MANAGER_PORT when it is a port number, else 6501.
uint16_t ManagerPortFromEnvironment();

// The engine object: the configuration, the listeners and the manager socket,
// alive until the process ends (threads keep references into it).
struct Engine {
  std::unique_ptr<EngineConfiguration> config;
  CListenerSet listeners;
  net::CBlockingSocket manager_socket;
};

enum class ServiceResult {
  kStopped,        // ran and stopped on StopEvent
  kNotStarted,     // the manager port could not be opened: nothing served
};

// Runs the body on the calling thread. `engine` must outlive the process's
// threads (the engine's one object).
ServiceResult RunServiceBody(Engine& engine, CEngineEvents& events, const ServiceOptions& options);

}  // namespace qlm::engine
