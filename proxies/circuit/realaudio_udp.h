// The datagram side of one RealAudio connection. The player and the server
// tell each other their UDP ports in the opening messages of the control
// stream; the proxy reads those messages as they pass, puts the ports of its
// own datagram sockets in their place, and so every datagram runs through it:
//
//   A  player side  sends the server's data on to the player
//   B  server side  receives the server's data (its port replaces the
//                   player's data port)
//   C  server side  sends the player's resend requests on to the server (its
//                   port replaces the player's resend port)
//   D  player side  receives the player's resend requests (its port replaces
//                   the server's resend port)
#pragma once

#include <netinet/in.h>

#include "net/blocking_socket.h"
#include "proxies/circuit/realaudio_socket.h"

namespace qlm::circuit {

// The four sockets and the addresses they serve. Declared A to D, so they
// close D, C, B, A, on every path.
struct RealAudioChannels {
  net::CBlockingSocket to_player;    // A
  net::CBlockingSocket from_server;  // B
  net::CBlockingSocket to_server;    // C
  net::CBlockingSocket from_player;  // D
  sockaddr_in player_data{AF_INET, 0, {0}, {0}};    // player IP, its data port
  sockaddr_in player_resend{AF_INET, 0, {0}, {0}};  // player IP, its resend port
  sockaddr_in server_resend{AF_INET, 0, {0}, {0}};  // server IP, its resend port
  bool resend_wanted = false;  // the player announced a resend port
};

// The proxy's two addresses (port 0: the system picks one per socket) and the
// two peers' addresses of one connection.
struct RealAudioSides {
  sockaddr_in player_side{};  // the proxy's address toward the player
  sockaddr_in server_side{};  // the proxy's address toward the server
  sockaddr_in player{};       // the player's address
  sockaddr_in server{};       // the server's address
};

// Reads the player's stream opening and forwards it to the server with the
// proxy's ports in place of the player's, opening A and B for a data port and
// C for a resend port. Returns whether a resend port was announced. Every
// read and write waits the handshake time-out. Throws
// "RealAudioSocket::ProxyUdpSetup:..." for a bad hello, version or size.
bool ProxyUdpSetup(RealAudioSocket& player, net::CBlockingSocket& server,
                   const RealAudioSides& sides, RealAudioChannels* channels);

// The server's answer, read on its first data when a resend port was
// announced: forwarded to the player, with D's port in place of the server's
// resend port when there is one. Returns whether the resend channel exists;
// without one, C is closed. Throws
// "RealAudioSocket::UdpResendSetup:Bad Hello Message was received from server".
bool UdpResendSetup(RealAudioSocket& player, net::CBlockingSocket& server,
                    const RealAudioSides& sides, RealAudioChannels* channels);

// A datagram socket bound to `address` with a port of the system's choosing;
// returns the port (network order).
uint16_t OpenDatagram(net::CBlockingSocket& socket, const sockaddr_in& address);

}  // namespace qlm::circuit
