// What the port mappings work from: their waits, with the values a mapping
// has in service; tests pass shorter ones (through the client objects, or the
// engine's QUILLMAR_TIMEOUTS names "portmap.*").
#pragma once

#include <chrono>

#include "net/timeout.h"

namespace qlm::circuit {

struct PortMapTimeouts {
  net::Timeout outward_connect{std::chrono::seconds(120)};  // to the destination
  net::Timeout relay_idle{std::chrono::seconds(7200)};      // a TCP mapping's relay
  net::Timeout send{std::chrono::seconds(30)};              // each write, each datagram
  net::Timeout return_wait{std::chrono::seconds(180)};      // BiUDP's one return message
  net::Timeout ftp_idle{std::chrono::seconds(900)};         // an FTP mapping's dialogue
  net::Timeout data_connect{std::chrono::seconds(30)};      // FTP data to the client
  std::chrono::seconds linger{30};
};

// The waits in service: the defaults, each replaceable by its test name.
PortMapTimeouts ConfiguredPortMapTimeouts();

}  // namespace qlm::circuit
