// The DNS request's worker: one shape with every other worker.
#include "services/dns/dns_dg_client_thread.h"

#include "engine/connection_worker.h"
#include "engine/log_throttle.h"
#include "services/dns/dns_session.h"
#include "services/dns/dns_wire.h"

namespace qlm::dns {

engine::CConnectionLimit& DnsWorkerLimit() {
  static engine::CConnectionLimit limit(kDnsWorkerBound);
  return limit;
}

void LogWorkersBusy() {
  static engine::CLogThrottle throttle;
  if (throttle.Allow()) {
    engine::WriteLog(engine::ThisThread(), engine::kKindError, "%s", kTextWorkersBusy);
  }
}

int DnsDgClientThreadProc(engine::ConnectionContextPtr context) {
  static constexpr engine::WorkerTexts kTexts{
      .proc = kProcName, .no_client = kTextNoRequest, .limit = &DnsWorkerLimit};
  return engine::RunWorker<CDnsSession>(std::move(context), kTexts);
}

}  // namespace qlm::dns
