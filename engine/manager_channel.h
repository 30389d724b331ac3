// The engine's end of the manager channel: the one slot a connected manager
// occupies, the listener on DefaultIP:6501 and the thread that serves the
// connected manager. Proxies reach the manager only through SendToManager
// (and WriteLog/ReportActivity, which use it); all writes to the manager are
// serialised by the manager-channel lock, which is never held together with
// the log lock.
#pragma once

#include <netinet/in.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/msg.h"
#include "net/blocking_socket.h"
#include "net/timeout.h"

namespace qlm::engine {

inline constexpr const char* kManagerSelectFailedText = "ManagerServerThreadProc:select";
inline constexpr const char* kManagerServerFailedSuffix = " in manager server!";
inline constexpr const char* kManagerAcceptFailedFormat = "ManagerServerThreadProc:accept (#%d) %s";
// Only a manager on this host may take the channel.
inline constexpr const char* kManagerNotLocalFormat =
    "ManagerServerThreadProc:manager connection from %s refused, not an address of this host";
inline constexpr const char* kManagerThreadFailedText =
    "ManagerServerThreadProc:cannot start ManagerClientThreadProc";

// What the channel cannot know by itself; the engine fills these in before it
// starts ManagerServerThreadProc. An empty hook does nothing (answers none).
struct ManagerChannelHooks {
  // MSG_STOP_ENGINE: signal the engine's stop event.
  std::function<void()> stop_engine;
  // MSG_GET_DAEMON_LIST: the "%s:%s:%d" keys of every opened daemon and
  // port-mapping listener.
  std::function<std::vector<std::string>()> listener_keys;
  // MSG_KEEP_CONNECTION: reload the dial-up idle countdown under the idle lock.
  std::function<void()> keep_connection;
  // Whether a connecting peer is this host; empty: one of the host's own
  // interface addresses or 127.0.0.0/8.
  std::function<bool(const sockaddr_in& peer)> is_local_peer;
  // After a failed accept the listener pauses this long (or until the engine
  // stops): a failure that persists, such as running out of descriptors,
  // would otherwise spin the thread and flood the log with ERR lines.
  net::Timeout accept_retry_delay = std::chrono::seconds(1);
};
void SetManagerChannelHooks(ManagerChannelHooks hooks);

// Sends one message to the connected manager and flushes it. false when no
// manager is connected (a manager counts from its first answer on, so the
// daemon list it asks for first always precedes proxies' messages). A write
// failure is swallowed (true is still returned); the broken connection leaves
// the slot at once and its thread ends.
// Blocks up to the 30-second send time-out per write while holding the lock.
bool SendToManager(const link::CMsg& msg);
// Whether a manager holds the slot and has had its first answer.
bool ManagerConnected();

// The listener: serves the bound, listening socket until the engine stops or
// the wait fails, then closes it. The socket must outlive the thread.
int ManagerServerThreadProc(net::CBlockingSocket* listener);
// One manager connection: takes the slot (ending an older holder), answers
// requests until the manager leaves, the stream breaks, a stop message comes,
// a newer manager takes over or the engine stops; then frees the slot.
int ManagerClientThreadProc(std::unique_ptr<net::CBlockingSocket> socket);

// Tests: connection threads started and not yet ended.
int ManagerClientThreadsRunning();

}  // namespace qlm::engine
