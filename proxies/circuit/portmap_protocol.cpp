// The port mappings' entry in the engine.
#include "proxies/circuit/portmap_protocol.h"

#include "engine/timeout_overrides.h"
#include "proxies/circuit/portmap_client_thread.h"
#include "proxies/circuit/portmap_server_thread.h"

namespace qlm::circuit {
namespace {

void Configure(const engine::ProtocolSetup&) { SetPortMapTimeouts(ConfiguredPortMapTimeouts()); }

}  // namespace

PortMapTimeouts ConfiguredPortMapTimeouts() {
  PortMapTimeouts t;
  t.outward_connect = engine::TimeoutOr("portmap.outward_connect", t.outward_connect);
  t.relay_idle = engine::TimeoutOr("portmap.relay_idle", t.relay_idle);
  t.send = engine::TimeoutOr("portmap.send", t.send);
  t.return_wait = engine::TimeoutOr("portmap.return_wait", t.return_wait);
  t.ftp_idle = engine::TimeoutOr("portmap.ftp_idle", t.ftp_idle);
  t.data_connect = engine::TimeoutOr("portmap.data_connect", t.data_connect);
  return t;
}

const engine::PortMapService& PortMapProtocol() {
  static const engine::PortMapService entry{&PortMapThreadProc, &Configure};
  return entry;
}

}  // namespace qlm::circuit
