// One DHCP message served: dispatch on its type, the lease table's answer,
// the reply (OFFER, ACK or NAK) and the activity records. Run by
// DhcpDgClientThreadProc through the engine's one worker shape.
#pragma once

#include <cstdint>
#include <string>

#include "engine/activity_log.h"
#include "engine/connection_context.h"
#include "services/dhcp/dhcp_client_socket.h"

namespace qlm::dhcp {

class CDhcpSession {
 public:
  using Client = CDhcpDgClientSocket;

  CDhcpSession(engine::ConnectionContext& context, Client& client, engine::ThreadTag thread);

  // Throws CBlockingSocketException: an unknown message type, a failed send.
  void Run();
  // More workers than the bound: the message is dropped (one ERR line a
  // second at most).
  void Refuse();

 private:
  void Discover();
  void Request();
  void RequestRenewing();
  void RequestSelecting(uint32_t requested, uint32_t server_id);
  void RequestInitReboot(uint32_t requested);
  void Decline();
  void Release();

  // OFFER or ACK with yiaddr (network order); NAK.
  void SendOfferOrAck(uint8_t type, uint32_t yiaddr);
  void SendNak();
  void Send(const Reply& reply);

  template <class... Args>
  void Record(const char* format, Args... args) {
    engine::ReportActivity(context_, thread_, engine::kRowMain, format, args...);
  }

  engine::ConnectionContext& context_;
  Client& client_;
  engine::ThreadTag thread_;
  CDhcpServer& server_;
  const DhcpBuffer& request_;
  const std::string& client_id_;
  int32_t xid_;
  int32_t lease_time_number_;  // the LeasingTime setting as the records print it
};

}  // namespace qlm::dhcp
