// One Telnet proxy session on its thread: greets the user, asks for a host
// (and port), connects there and relays raw bytes both ways until either
// side closes, the session is idle too long or the engine stops. Every
// failure is a CBlockingSocketException the thread procedure turns into one
// ERR line; the user sees a reply only for a full proxy, a bad host line,
// an unresolvable host, a failed connect and the idle end.
#pragma once

#include <netinet/in.h>

#include <string>

#include "engine/activity_log.h"
#include "engine/connection_context.h"
#include "proxies/circuit/telnet_client.h"
#include "proxies/circuit/telnet_host_line.h"

namespace qlm::circuit {

class CTelnetSession {
 public:
  using Client = CTelnetClient;

  // Reads the client's address, reports the log-in, sets the socket up.
  CTelnetSession(engine::ConnectionContext& context, CTelnetClient& client,
                 engine::ThreadTag thread);

  void Run();
  // No connection slot: "Hit maximum connections.", then the ERR text.
  void Refuse();

 private:
  enum class Step { kGoOn, kEnd };

  // A reply line (text and CR LF).
  void Reply(const char* text);
  TelnetHostLine ReadHostLine();
  void Connect(const TelnetHostLine& target);
  void Report(const TelnetHostLine& target);
  Step RelayOnce();
  // One chunk from `from` to `to`; kEnd when `from` has closed or reset.
  Step Move(net::CBlockingSocket& from, net::CBlockingSocket& to, const char* failure);
  void EndBoth();

  engine::ConnectionContext& context_;
  CTelnetClient& client_;
  engine::ThreadTag thread_;
  const TelnetTimeouts& timeouts_;
  bool records_ = false;  // activity worth building (log open or manager)
  std::string client_ip_;
  std::string client_name_;
  sockaddr_in remote_address_{};
  sockaddr_in proxy_address_{};
  net::CBlockingSocket remote_;  // closed with the session, after the slot
};

int TelnetThreadProc(engine::ConnectionContextPtr context);

}  // namespace qlm::circuit
