// ManagerReceiveThreadProc.
#include "manager/manager_receive_thread.h"

#include <poll.h>

#include "link/msg.h"
#include "manager/log_store.h"
#include "manager/manager_trace.h"
#include "net/wait_set.h"

namespace qlm::manager {

namespace {

enum class Wake { kData, kStop, kFailed };

// Waits without time-out for the engine's next bytes or the stop socket; the
// stop wins when both are set.
Wake WaitForEngine(const ReceiverChannel& channel) {
  net::CWaitSet waits;
  const size_t data = waits.Add(channel.socket->Handle(), POLLIN);
  const size_t stop = waits.Add(channel.stop_fd, POLLIN);
  if (waits.Wait(net::kWaitForever) != net::CWaitSet::Result::kReady) {
    return Wake::kFailed;
  }
  if (waits.Ready(stop, POLLIN)) {
    return Wake::kStop;
  }
  return waits.Ready(data, POLLIN) ? Wake::kData : Wake::kFailed;
}

void Act(const ReceiverChannel& channel, link::CMsg& msg) {
  switch (msg.type) {
    case link::MSG_DAEMON_LIST:
      Trace("Daemon list received");
      channel.daemon_list(std::move(msg.lines));
      break;
    case link::MSG_ACTIVITY:
      channel.activity(msg.activity);
      break;
    case link::MSG_LOG_CONTENT:
      Trace("Log content received");
      channel.log->SetLogContent(std::move(msg.lines));
      break;
    case link::MSG_LOG_LINE:
      channel.log->AppendLogLine(std::move(msg.text));
      break;
    case link::MSG_IDLE_HANGUP_WARNING:
      Trace("Idle hang-up warning received");
      channel.idle_hangup_warning();
      break;
    default:
      break;  // manager-to-engine types and unknown ones: read and ignored
  }
}

}  // namespace

int ManagerReceiveThreadProc(ReceiverChannel channel) {
  ReceiverEnd end = ReceiverEnd::kEngineLost;
  link::CMsg msg;
  for (;;) {
    const Wake wake = WaitForEngine(channel);
    if (wake == Wake::kStop) {
      end = ReceiverEnd::kStopped;
      break;
    }
    if (wake == Wake::kFailed) {
      break;
    }
    try {
      do {
        msg.Clear();
        msg.Serialize(*channel.load);
        Act(channel, msg);
      } while (!channel.load->IsBufferEmpty());
    } catch (const std::exception& e) {
      // The engine closed, a message stayed incomplete past the read
      // time-out, or bytes that are no message arrived.
      TraceError(std::string("ManagerReceiveThreadProc:") + e.what());
      break;
    }
  }
  channel.ended(end);
  return 0;
}

}  // namespace qlm::manager
