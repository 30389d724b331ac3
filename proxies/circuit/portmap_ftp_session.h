// One session of an FTP-aware mapping, from the client's log-in to the end
// of its dialogue.
#pragma once

#include <netinet/in.h>

#include <memory>
#include <optional>
#include <string>

#include "engine/activity_log.h"
#include "engine/connection_context.h"
#include "engine/port_map_listener.h"
#include "proxies/circuit/portmap_config.h"
#include "proxies/ftp_mail/ftp_cmd_socket.h"

namespace qlm::circuit {

class CPortMapFtpSession {
 public:
  using Client = ftp::CFtpCmdSocket;

  // The client's socket set-up and its "logins" record, before any slot.
  CPortMapFtpSession(engine::ConnectionContext& context, Client& client, engine::ThreadTag thread);
  ~CPortMapFtpSession();

  void Refuse();
  void Run();

 private:
  void ConnectServer();
  // One round of the dialogue; false when the session ends.
  bool ServeReady();
  bool OnClientLine();
  void OnPort(const std::string& line);
  bool OnServerData();
  void OnDataListener();
  std::unique_ptr<net::CBlockingSocket> ConnectClientData();
  void Report();

  engine::ConnectionContext& context_;
  Client& client_;
  engine::ThreadTag thread_;
  const engine::PortMapListener& listener_;
  PortMapTimeouts timeouts_;
  bool records_ = false;
  std::string client_name_;
  sockaddr_in server_address_{AF_INET, 0, {0}, {0}};
  sockaddr_in toward_server_{AF_INET, 0, {0}, {0}};  // the proxy's end of it
  std::optional<sockaddr_in> client_data_address_;
  // Closed with the session, after the slot.
  net::CBlockingSocket server_;
  std::unique_ptr<net::CBlockingSocket> data_listener_;
};

}  // namespace qlm::circuit
