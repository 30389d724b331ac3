// The DHCP server's entry: listener set-up and the start of each worker.
#include "services/dhcp/dhcp_protocol.h"

#include <arpa/inet.h>

#include <mutex>

#include "engine/activity_log.h"
#include "engine/config/protocol_settings.h"
#include "engine/connection_thread.h"
#include "net/host_addresses.h"
#include "services/dhcp/dhcp_client_socket.h"
#include "services/dhcp/dhcp_client_thread.h"
#include "services/dhcp/dhcp_icmp_echo.h"
#include "services/dhcp/dhcp_interface.h"

namespace qlm::dhcp {

namespace {

// The engine's one DHCP server. Set up by the first DHCP listener made;
// read by the workers, which start only after every listener is made.
CDhcpServer& EngineServer() {
  static CIcmpEcho echo(DhcpTimeouts{}.ping);
  static CDhcpServer server(CSystemClock::Instance(), &echo);
  return server;
}

std::vector<uint32_t> OwnAddresses() {
  std::vector<uint32_t> own;
  for (const net::InterfaceAddress& entry : net::ListInterfaceAddresses()) {
    own.push_back(ntohl(entry.address.s_addr));
  }
  return own;
}

void SetUpServer(const engine::DhcpSettings& settings) {
  DhcpServerConfig config;
  config.settings = settings;
  if (!EngineServer().SetUp(config, OwnAddresses())) {
    engine::WriteLog(engine::ThisThread(), engine::kKindError, kErrBadRange,
                     settings.FromAddr.c_str(), settings.ToAddr.c_str(),
                     settings.Netmask.c_str());
  }
}

// Called by the engine once the DHCP listener is bound.
void ListenerMade(engine::DaemonRecord& record) {
  static std::once_flag set_up;
  std::call_once(set_up, [&record] {
    SetUpServer(record.dhcp ? *record.dhcp : engine::DhcpSettings{});
  });
  TieToInterface(record.socket, record.local_address);
}

void Start(engine::ConnectionContextPtr context) {
  if (DhcpWorkerLimit().Free() == 0) {
    LogDhcpDropped(engine::ThisThread());
    return;
  }
  const engine::CListenerRecord& daemon = *context->Daemon;
  auto client = std::make_unique<CDhcpDgClientSocket>(
      EngineServer(), daemon.local_address, context->Address, context->Data.data(),
      context->Data.size());
  try {
    client->ShareSocket(daemon.socket.Handle());
  } catch (const net::CBlockingSocketException& e) {
    engine::WriteLog(engine::ThisThread(), engine::kKindError, "%s%s%s", kErrPrefix,
                     e.GetErrorText().c_str(), kErrSuffix);
    return;
  }
  context->Client = std::move(client);
  engine::StartConnectionThread(&DhcpDgClientThreadProc, std::move(context), "DHCP");
}

}  // namespace

const engine::DatagramProtocol& DhcpProtocol() {
  static const engine::DatagramProtocol entry{"DHCP", 0, &Start, nullptr, &ListenerMade};
  return entry;
}

}  // namespace qlm::dhcp
