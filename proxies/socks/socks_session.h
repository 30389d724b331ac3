// One SOCKS session on its connection thread: the request, then CONNECT,
// BIND or UDP ASSOCIATE, each to the end of its relay. Every failure is a
// CBlockingSocketException that the thread procedure turns into one ERR line.
#pragma once

#include <netinet/in.h>

#include <string>

#include "engine/activity_log.h"
#include "engine/connection_context.h"
#include "net/blocking_socket.h"
#include "proxies/socks/client_socket.h"

namespace qlm::socks {

class CSocksSession {
 public:
  using Client = CClientSocket;

  CSocksSession(engine::ConnectionContext& context, CClientSocket& client,
                engine::ThreadTag thread)
      : context_(context), client_(client), thread_(thread) {}

  // Sets the client socket up, reads the request and serves it. Throws
  // CBlockingSocketException.
  void Run();
  // No connection slot: the client gets no reply, only the ERR line.
  void Refuse();

 private:
  void ReadRequest(uint8_t first_byte);
  void WrongVersion(uint8_t first_byte);
  void Connect();
  void Bind();
  void ReportBind(const sockaddr_in& peer, const sockaddr_in& proxy);
  void CheckBindPeer(const sockaddr_in& peer);
  void UdpAssociate();
  void ReportAssociation();

  engine::ConnectionContext& context_;
  CClientSocket& client_;
  engine::ThreadTag thread_;
  SocksReply reply_;
  // The sockets of BIND and CONNECT/UDP; they close with the session.
  net::CBlockingSocket accepted_;
  net::CBlockingSocket outward_;
};

// Whether activity lines and records are worth building: a log file is open
// or a manager listens. Host names are looked up only then.
bool RecordsWanted();

// Dotted text and host-order port of an address.
std::string IpText(const sockaddr_in& address);
std::string IpText(uint32_t address);
unsigned PortOf(const sockaddr_in& address);
// The reverse name, looked up only when records are wanted.
std::string HostNameOf(const sockaddr_in& address);

}  // namespace qlm::socks
