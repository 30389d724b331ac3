// The DNS relay's entry in the engine.
#include "services/dns/dns_protocol.h"

#include "engine/activity_log.h"
#include "engine/connection_thread.h"
#include "engine/log_throttle.h"
#include "services/dns/dns_config.h"
#include "services/dns/dns_dg_client_socket.h"
#include "services/dns/dns_dg_client_thread.h"
#include "services/dns/dns_wire.h"

namespace qlm::dns {

namespace {

void Configure(const engine::ProtocolSetup& setup) { SetDnsConfiguration(DnsConfigFrom(setup)); }

engine::CLogThrottle& SameHostThrottle() {
  static engine::CLogThrottle throttle;
  return throttle;
}

// A sender the dispatcher cannot place is dropped: relaying might loop.
bool FromThisHost(const sockaddr_in& sender) {
  try {
    return CDnsDgClientSocket::IsSameHost(sender);
  } catch (const net::CBlockingSocketException& e) {
    if (SameHostThrottle().Allow()) {
      engine::WriteLog(engine::ThisThread(), engine::kKindError, "%s%s",
                       e.GetErrorText().c_str(), kSuffixSameHostFailed);
    }
    return true;
  }
}

}  // namespace

void StartDnsRequest(engine::ConnectionContextPtr context) {
  if (context->DataLength() < kMinRequestLength || FromThisHost(context->Address)) {
    return;
  }
  // Beyond the bound no thread is started at all; the worker's own slot is
  // the exact count.
  if (DnsWorkerLimit().Free() == 0) {
    LogWorkersBusy();
    return;
  }
  context->Client = std::make_unique<CDnsDgClientSocket>(context->Data, context->Address);
  engine::StartConnectionThread(&DnsDgClientThreadProc, std::move(context), kDaemonName);
}

const engine::DatagramProtocol& DnsProtocol() {
  static const engine::DatagramProtocol entry{kDaemonName, kMinRequestLength, &StartDnsRequest,
                                              &Configure};
  return entry;
}

}  // namespace qlm::dns
