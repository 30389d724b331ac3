// Tells systemd how the service stands (the unit is Type=notify): ready once
// the daemon and port-mapping listeners are open, which is what "running"
// means to anyone who waits for the service, and stopping when the stop
// begins. Without a NOTIFY_SOCKET in the environment (no systemd service,
// -debug from a terminal) both do nothing.
#pragma once

namespace qlm::engine {

// Sends "READY=1".
void NotifyServiceReady();
// Sends "STOPPING=1".
void NotifyServiceStopping();

}  // namespace qlm::engine
