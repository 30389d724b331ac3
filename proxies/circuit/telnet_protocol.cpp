// The Telnet proxy's entry in the engine.
#include "proxies/circuit/telnet_protocol.h"

#include <mutex>

#include "engine/timeout_overrides.h"
#include "proxies/circuit/telnet_session.h"

namespace qlm::circuit {
namespace {

std::mutex config_mutex;
TelnetConfig config_in_use;  // Guarded by config_mutex

void Configure(const engine::ProtocolSetup&) {
  const TelnetConfig config = ConfiguredTelnetConfig();
  std::lock_guard lock(config_mutex);
  config_in_use = config;
}

std::unique_ptr<net::CBlockingSocket> MakeClient() {
  std::lock_guard lock(config_mutex);
  return std::make_unique<CTelnetClient>(config_in_use);
}

}  // namespace

TelnetConfig ConfiguredTelnetConfig() {
  TelnetConfig c;
  c.command.byte = engine::TimeoutOr("telnet.byte", c.command.byte);
  c.command.line = engine::TimeoutOr("telnet.line", c.command.line);
  c.command.send = engine::TimeoutOr("telnet.reply", c.command.send);
  c.session.connect = engine::TimeoutOr("telnet.connect", c.session.connect);
  c.session.idle = engine::TimeoutOr("telnet.idle", c.session.idle);
  c.session.send = engine::TimeoutOr("telnet.send", c.session.send);
  return c;
}

const engine::StreamProtocol& TelnetProtocol() {
  static const engine::StreamProtocol entry{"Telnet", &MakeClient, &TelnetThreadProc, &Configure};
  return entry;
}

}  // namespace qlm::circuit
