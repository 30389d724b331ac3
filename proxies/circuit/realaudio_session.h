// One RealAudio connection on its thread: the dialog, the server connection,
// the stream opening with its datagram channels, and the relay. Every failure
// is a CBlockingSocketException that RealAudioThreadProc turns into one ERR
// line; the player gets a status frame only where the dialog promises one.
#pragma once

#include <netinet/in.h>

#include <string>

#include "engine/activity_log.h"
#include "engine/connection_context.h"
#include "net/blocking_socket.h"
#include "proxies/circuit/realaudio_socket.h"
#include "proxies/circuit/realaudio_udp.h"

namespace qlm::circuit {

class CRealAudioSession {
 public:
  using Client = RealAudioSocket;

  CRealAudioSession(engine::ConnectionContext& context, RealAudioSocket& client,
                    engine::ThreadTag thread);
  // Ends the datagram rows ("1", "2"), then closes D, C, B, A and the server
  // connection.
  ~CRealAudioSession();
  CRealAudioSession(const CRealAudioSession&) = delete;
  CRealAudioSession& operator=(const CRealAudioSession&) = delete;

  // The dialog, the server connection and the relay, until either side
  // closes, the relay idles out or the engine stops.
  void Run();
  // No connection slot: the player gets status 1 and the ERR line follows.
  void Refuse();

 private:
  void Serve();
  void Greet();
  void Resolve();
  void ConnectServer();
  void ReportConnection();
  void OpenChannels();
  void ReportResend();

  // The relay (realaudio_relay.cpp). Each step returns false when the
  // connection has ended.
  void Relay();
  bool ServerReadable(char* buffer);
  bool PlayerReadable(char* buffer);
  void DataDatagram(char* buffer);
  void ResendDatagram(char* buffer);
  void ShutDownBoth();

  engine::ConnectionContextPtr rows_;  // the listener, for the ended rows
  RealAudioSocket& client_;
  engine::ThreadTag thread_;
  const RealAudioTimeouts& timeouts_;
  std::string client_name_;
  RealAudioSides sides_;
  bool server_seen_ = false;  // the server's first data has been handled
  // Declared in this order so the channels (D, C, B, A) close before the
  // server connection.
  net::CBlockingSocket server_;
  RealAudioChannels channels_;
};

// Dotted text and host-order port of an address.
std::string IpText(const sockaddr_in& address);
unsigned PortOf(const sockaddr_in& address);
unsigned PortOf(uint16_t network_port);

}  // namespace qlm::circuit
