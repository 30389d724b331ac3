// The DHCP worker thread: the engine's one worker shape around CDhcpSession.
#include "services/dhcp/dhcp_client_thread.h"

#include "engine/connection_worker.h"
#include "engine/log_throttle.h"
#include "services/dhcp/dhcp_session.h"

namespace qlm::dhcp {

namespace {

const engine::WorkerTexts kTexts{
    .proc = kProcName,
    .no_client = kTextNoClient,
    .use_message = false,
    .prefix = kErrPrefix,
    .suffix = kErrSuffix,
    .limit = &DhcpWorkerLimit,
};

}  // namespace

engine::CConnectionLimit& DhcpWorkerLimit() {
  static engine::CConnectionLimit limit(kMaxDhcpWorkers);
  return limit;
}

void LogDhcpDropped(engine::ThreadTag thread) {
  static engine::CLogThrottle throttle;
  if (throttle.Allow()) {
    engine::WriteLog(thread, engine::kKindError, "%s", kTextTooMany);
  }
}

int DhcpDgClientThreadProc(engine::ConnectionContextPtr context) {
  return engine::RunWorker<CDhcpSession>(std::move(context), kTexts);
}

}  // namespace qlm::dhcp
