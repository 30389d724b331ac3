// The e-mail proxy's entry in the engine.
#include "proxies/ftp_mail/email_protocol.h"

#include <mutex>

#include "engine/timeout_overrides.h"
#include "proxies/ftp_mail/email_client.h"
#include "proxies/ftp_mail/email_session.h"

namespace qlm::ftp {
namespace {

std::mutex timeouts_mutex;
mail::EmailTimeouts timeouts_in_use;  // Guarded by timeouts_mutex

void Configure(const engine::ProtocolSetup&) {
  const mail::EmailTimeouts timeouts = ConfiguredEmailTimeouts();
  std::lock_guard lock(timeouts_mutex);
  timeouts_in_use = timeouts;
}

std::unique_ptr<net::CBlockingSocket> MakeClient() {
  std::lock_guard lock(timeouts_mutex);
  return std::make_unique<mail::CEmailClient>(timeouts_in_use);
}

}  // namespace

mail::EmailTimeouts ConfiguredEmailTimeouts() {
  mail::EmailTimeouts t;
  t.send = engine::TimeoutOr("email.send", t.send);
  t.receive = engine::TimeoutOr("email.receive", t.receive);
  t.line = engine::TimeoutOr("email.line", t.line);
  t.connect = engine::TimeoutOr("email.connect", t.connect);
  t.relay_idle = engine::TimeoutOr("email.relay_idle", t.relay_idle);
  return t;
}

const engine::StreamProtocol& EmailProtocol() {
  static const engine::StreamProtocol entry{"Email", &MakeClient, &mail::EmailThreadProc,
                                            &Configure};
  return entry;
}

}  // namespace qlm::ftp
