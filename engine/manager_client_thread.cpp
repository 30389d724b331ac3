// ManagerClientThreadProc: one connected manager. Reads its requests through
// the loading archive (several per segment, or one across segments) and
// answers through the slot, until the manager leaves or is replaced.
#include <poll.h>

#include "engine/log_file.h"
#include "engine/manager_channel.h"
#include "engine/manager_slot.h"
#include "link/msg_wire.h"
#include "net/wait_set.h"

namespace qlm::engine {

namespace {

// Acts on one request; sets *stop on MSG_STOP_ENGINE. Answers go out under
// the manager-channel lock; the log is read under the log lock first, never
// with both held.
void Act(const ManagerConnection& connection, const link::CMsg& msg, bool* stop) {
  CManagerSlot& slot = CManagerSlot::Instance();
  switch (msg.type) {
    case link::MSG_STOP_ENGINE:
      if (auto hook = slot.Hooks().stop_engine) {
        hook();
      }
      *stop = true;
      break;
    case link::MSG_GET_DAEMON_LIST: {
      link::CMsg answer(link::MSG_DAEMON_LIST);
      if (auto hook = slot.Hooks().listener_keys) {
        answer.lines = hook();
      }
      slot.Answer(connection, answer);
      break;
    }
    case link::MSG_GET_LOG: {
      std::optional<std::vector<std::string>> lines = EngineLog().ReadLines();
      if (lines) {
        link::CMsg answer(link::MSG_LOG_CONTENT);
        answer.lines = std::move(*lines);
        slot.Answer(connection, answer);
      }
      break;
    }
    case link::MSG_KEEP_CONNECTION:
      if (auto hook = slot.Hooks().keep_connection) {
        hook();
      }
      break;
    default:
      break;  // engine-to-manager types and unknown ones: read and ignored
  }
}

// Waits for the manager's next bytes. false when the connection is to end:
// engine stop, a failed wait, or the connection told to end.
bool WaitForRequest(const ManagerConnection& connection) {
  net::CWaitSet waits;
  waits.Add(connection.socket->Handle(), POLLIN);
  waits.AddShutdown();
  const size_t ended = waits.Add(connection.ended.Fd(), POLLIN);
  if (waits.Wait(net::kWaitForever) != net::CWaitSet::Result::kReady) {
    return false;
  }
  return !waits.Ready(ended, POLLIN);
}

}  // namespace

int ManagerClientThreadProc(std::unique_ptr<net::CBlockingSocket> socket) {
  CManagerSlot& slot = CManagerSlot::Instance();
  struct RunningCount {
    ~RunningCount() { CManagerSlot::Instance().threads_running.fetch_sub(1); }
  } running;  // the listener counted this thread before starting it

  const auto connection = std::make_shared<ManagerConnection>(std::move(socket));
  slot.Take(connection);
  bool stop = false;
  link::CMsg msg;
  while (!stop && WaitForRequest(*connection)) {
    try {
      do {
        msg.Clear();
        msg.Serialize(*connection->load);
        Act(*connection, msg, &stop);
      } while (!connection->load->IsBufferEmpty());
    } catch (const std::exception&) {
      // Manager gone ("CQlmSocketFile::Read:Socket closed" or the end of the
      // stream), a receive time-out inside a message, or a failed answer.
      break;
    }
  }
  slot.Release(connection);
  return 0;
}

}  // namespace qlm::engine
