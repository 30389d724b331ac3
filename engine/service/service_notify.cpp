// Service readiness through libsystemd's sd_notify.
#include "engine/service/service_notify.h"

#include <systemd/sd-daemon.h>

namespace qlm::engine {

// The environment is kept (unset_environment 0): the stop is announced
// through the same socket later. A failure changes nothing for the engine;
// systemd then only learns of the state later, from the process itself.
void NotifyServiceReady() { sd_notify(0, "READY=1"); }

void NotifyServiceStopping() { sd_notify(0, "STOPPING=1"); }

}  // namespace qlm::engine
