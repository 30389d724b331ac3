// One FTP data connection relayed on a thread of its own: the server's side
// (the context's Client, a CFtpDataSocket that carries the relay's waits)
// to the client's side (its Peer), until the transfer ends. The FTP proxy
// and the FTP port mapping start it for every data connection they accept.
#pragma once

#include "engine/activity_log.h"
#include "engine/connection_context.h"
#include "net/blocking_socket.h"
#include "net/timeout.h"

namespace qlm::ftp {

class CFtpDataSocket : public net::CBlockingSocket {
 public:
  CFtpDataSocket(net::Timeout idle, net::Timeout send) : idle_(idle), send_(send) {}
  net::Timeout Idle() const { return idle_; }
  net::Timeout SendTimeout() const { return send_; }

 private:
  net::Timeout idle_;
  net::Timeout send_;
};

// Relays, reports the "Data:" activity row and ends it; a failure is one
// ERR line ending " in Ftp data connection! Connection closed". Takes no
// connection slot: it belongs to its control connection's.
int FtpDataThreadProc(engine::ConnectionContextPtr context);

class CFtpDataSession {
 public:
  using Client = CFtpDataSocket;
  CFtpDataSession(engine::ConnectionContext& context, CFtpDataSocket& server_side,
                  engine::ThreadTag thread)
      : context_(context), server_side_(server_side), thread_(thread) {}
  void Run();
  void Refuse() {}

 private:
  engine::ConnectionContext& context_;
  CFtpDataSocket& server_side_;
  engine::ThreadTag thread_;
};

}  // namespace qlm::ftp
