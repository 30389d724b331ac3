// Connection and datagram threads.
#include "engine/connection_thread.h"

#include <system_error>
#include <thread>

#include "engine/activity_log.h"

namespace qlm::engine {

bool StartConnectionThread(ConnectionThreadProc proc, ConnectionContextPtr context,
                           const char* daemon_name) {
  try {
    std::thread([proc](ConnectionContextPtr owned) { proc(std::move(owned)); },
                std::move(context))
        .detach();
    return true;
  } catch (const std::system_error&) {
    WriteLog(ThisThread(), kKindError, kThreadStartFailedFormat, daemon_name);
    return false;
  }
}

}  // namespace qlm::engine
