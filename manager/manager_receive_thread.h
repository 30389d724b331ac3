// ManagerReceiveThreadProc: the manager's reader of the link. It waits on the
// link's socket and the receiver's stop socket, reads every message the
// engine sends and hands each on: log content and log lines straight to the
// log store (which has its own lock), everything that touches the windows
// posted to the window thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/activity_msg.h"
#include "link/archive.h"
#include "net/blocking_socket.h"

namespace qlm::manager {

class CLogStore;

// How the receiver ended.
enum class ReceiverEnd {
  kStopped,     // the stop socket was signalled: leave the activity view alone
  kEngineLost,  // the engine closed, the stream broke or sent what cannot be read
};

// What the receiver acts on. Every handler is called on the receiver thread;
// the link's handlers post to the window thread themselves.
struct ReceiverChannel {
  net::CBlockingSocket* socket = nullptr;  // the connected CManagerSocket
  link::CArchive* load = nullptr;          // the loading archive over it
  int stop_fd = -1;                        // the receiver's stop socket
  CLogStore* log = nullptr;                // MSG_LOG_CONTENT, MSG_LOG_LINE
  std::function<void(std::vector<std::string> keys)> daemon_list;
  std::function<void(const link::CActivityMsg& activity)> activity;
  std::function<void()> idle_hangup_warning;
  std::function<void(ReceiverEnd end)> ended;
};

// Runs until the stop socket is signalled or the stream ends; calls `ended`
// once, last. Never throws.
int ManagerReceiveThreadProc(ReceiverChannel channel);

}  // namespace qlm::manager
