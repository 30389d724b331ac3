// What the RealAudio proxy works from: its time-outs, handed to every client
// object by the protocol entry; tests pass shorter ones.
#pragma once

#include <chrono>

#include "net/timeout.h"

namespace qlm::circuit {

struct RealAudioTimeouts {
  // Each dialog and stream-opening read, each write to player or server.
  net::Timeout handshake{std::chrono::seconds(30)};
  net::Timeout outward_connect{std::chrono::seconds(120)};  // the server connection
  net::Timeout relay_idle{std::chrono::seconds(900)};       // no traffic on any socket
  net::Timeout datagram_send{std::chrono::seconds(30)};     // each relayed datagram
  std::chrono::seconds linger{30};                           // client and server sockets
};

}  // namespace qlm::circuit
