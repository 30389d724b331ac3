// One FTP proxy session on its connection thread: the client logs on with
// "USER user@host", the proxy opens the control connection to that host and
// from then on relays the dialogue both ways, answering PASV itself,
// rewriting PORT to a listener of its own and relaying every data
// connection on a thread of its own. Every failure is a
// CBlockingSocketException that the thread procedure turns into one ERR line.
#pragma once

#include <netinet/in.h>

#include <memory>
#include <optional>
#include <string>

#include "engine/activity_log.h"
#include "engine/connection_context.h"
#include "net/blocking_socket.h"
#include "proxies/ftp_mail/ftp_client.h"
#include "proxies/ftp_mail/ftp_proxy_client.h"

namespace qlm::ftp {

class CFtpSession {
 public:
  using Client = CFtpProxyClient;

  CFtpSession(engine::ConnectionContext& context, CFtpProxyClient& client,
              engine::ThreadTag thread);
  // Out of line: closes the listener, then the server connection.
  ~CFtpSession();
  CFtpSession(const CFtpSession&) = delete;
  CFtpSession& operator=(const CFtpSession&) = delete;

  // Greets the client and serves it until it quits, either side closes, the
  // session is idle too long or the engine stops.
  void Run();
  // No connection slot: the 421 reply, then the ERR text is thrown.
  void Refuse();

 private:
  enum class Step { kGoOn, kEnd };

  void Prepare();
  Step WaitAndServe();
  Step OnClientReadable();
  Step BeforeLogon(const std::string& line);
  void AfterLogon(const std::string& line);
  void OpenServer(const std::string& line);
  void ReportLogon();
  void RewritePort(const std::string& line);
  void NewDataListener();
  Step RelayServer();
  void RelayToClient(const char* data, size_t size);
  void OnDataListener();
  std::unique_ptr<net::CBlockingSocket> ConnectClientData();
  void EndBoth();

  engine::ConnectionContext& context_;
  CFtpProxyClient& client_;
  engine::ThreadTag thread_;
  const FtpProxyConfig& config_;
  FTPclient server_;
  std::string user_;
  std::string host_;
  bool logged_in_ = false;
  std::optional<sockaddr_in> client_data_address_;
  std::unique_ptr<net::CBlockingSocket> listener_;
  // Counts changes of the wait set (log-on, a new listener) made while
  // serving the client, so a stale readiness is never acted on.
  unsigned generation_ = 0;
  std::string client_ip_;
  std::string client_name_;
};

int FtpCmdThreadProc(engine::ConnectionContextPtr context);

}  // namespace qlm::ftp
