// The engine-wide manager slot behind SendToManager: the connection that holds
// it (socket, socket file, loading and storing archive) and the
// manager-channel lock. Only the channel's own files use this header.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "engine/manager_channel.h"
#include "engine/wake_event.h"
#include "link/archive.h"
#include "link/msg.h"
#include "net/blocking_socket.h"
#include "net/qlm_socket_file.h"

namespace qlm::engine {

// One accepted manager connection, owned by its connection thread.
struct ManagerConnection {
  explicit ManagerConnection(std::unique_ptr<net::CBlockingSocket> accepted);

  std::unique_ptr<net::CBlockingSocket> socket;
  std::unique_ptr<net::CQlmSocketFile> file;
  std::unique_ptr<link::CArchive> load;   // read by the connection thread only
  std::unique_ptr<link::CArchive> store;  // written under the slot's lock only
  // Signalled when the connection must end: a newer manager took the slot, or
  // a write broke the stream.
  CWakeEvent ended;
  // Set once the first answer went out (the manager asks for the daemon list
  // first): only then do proxies' messages reach it, so the list always comes
  // before any activity or log line. Guarded by the slot's lock.
  bool live = false;
};

class CManagerSlot {
 public:
  static CManagerSlot& Instance();

  // Publishes `connection`; a previous holder leaves the slot and is told to end.
  void Take(const std::shared_ptr<ManagerConnection>& connection);
  // Clears the slot if `connection` still holds it, and destroys the
  // connection's archives and socket file under the lock; the socket is
  // closed afterwards, once no sender can reach it.
  void Release(const std::shared_ptr<ManagerConnection>& connection);

  // A manager holds the slot and has had its first answer.
  bool Connected();
  // SendToManager: swallows write failures; a failed connection leaves the slot.
  bool Send(const link::CMsg& msg);
  // A connection thread's answer: sent only while `connection` holds the slot,
  // and makes it live; a write failure is thrown to the caller, which ends
  // the connection.
  void Answer(const ManagerConnection& connection, const link::CMsg& msg);

  void SetHooks(ManagerChannelHooks hooks);
  ManagerChannelHooks Hooks();

  std::atomic<int> threads_running{0};

 private:
  std::mutex mutex_;  // the manager-channel lock
  std::shared_ptr<ManagerConnection> current_;  // Guarded by mutex_
  std::mutex hooks_mutex_;
  ManagerChannelHooks hooks_;  // Guarded by hooks_mutex_
};

}  // namespace qlm::engine
