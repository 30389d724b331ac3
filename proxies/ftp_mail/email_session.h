// One e-mail proxy connection on its thread. On the SMTP proxy port the
// whole dialogue is relayed to the configured SMTP server, whose greeting
// the client sees. On any other port the proxy greets as a POP3 server,
// reads USER, takes the POP3 server from the user name after the delimiter
// (or uses the default server), swallows that server's greeting, hands it
// the USER line and relays from then on. Every failure is a
// CBlockingSocketException the thread procedure turns into one ERR line;
// the client is sent nothing on failure.
#pragma once

#include <netinet/in.h>

#include <string>

#include "engine/activity_log.h"
#include "engine/config/protocol_settings.h"
#include "engine/connection_context.h"
#include "proxies/ftp_mail/email_client.h"

namespace qlm::ftp::mail {

class CEmailSession {
 public:
  using Client = CEmailClient;

  // Sets the client socket up, reads its address and reports the request.
  CEmailSession(engine::ConnectionContext& context, CEmailClient& client,
                engine::ThreadTag thread);

  void Run();
  // No connection slot: nothing is sent; the ERR text is thrown.
  void Refuse();

 private:
  void DialIfWanted();
  void GreetAndReadUser();
  // One CR LF line from `socket` into a buffer of `size`, byte by byte.
  std::string ReadLine(net::CBlockingSocket& socket, size_t size);
  void ConnectServer();
  void TakeServerGreeting();
  void ReportSmtp();
  void ReportPop3();

  engine::ConnectionContext& context_;
  CEmailClient& client_;
  engine::ThreadTag thread_;
  const EmailTimeouts& timeouts_;
  engine::EmailSettings settings_;
  bool records_ = false;  // activity worth building (log open or manager)
  sockaddr_in peer_{};
  std::string client_ip_;
  std::string client_name_;
  bool smtp_ = false;
  std::string server_host_;
  uint16_t server_port_ = 0;
  std::string user_line_;
  sockaddr_in server_address_{};
  sockaddr_in proxy_address_{};
  net::CBlockingSocket server_;  // closed with the session, after the slot
};

int EmailThreadProc(engine::ConnectionContextPtr context);

}  // namespace qlm::ftp::mail
