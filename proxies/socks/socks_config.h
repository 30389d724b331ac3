// What the SOCKS server works from: its time-outs, handed to every client
// object by the protocol entry; tests pass shorter ones.
#pragma once

#include <chrono>

#include "net/timeout.h"

namespace qlm::socks {

struct SocksTimeouts {
  net::Timeout handshake{std::chrono::seconds(30)};        // reads and writes of the handshake
  net::Timeout outward_connect{std::chrono::seconds(300)}; // CONNECT's outward connect
  net::Timeout bind_accept{std::chrono::seconds(300)};     // BIND's wait for the peer
  net::Timeout relay_idle{std::chrono::seconds(7200)};     // idle end of a relay or association
  net::Timeout datagram_send{std::chrono::seconds(30)};    // each relayed datagram
  std::chrono::seconds linger{30};                          // client and outward sockets
};

}  // namespace qlm::socks
