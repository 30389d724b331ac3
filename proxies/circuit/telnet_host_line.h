// The host line a Telnet proxy user types, once the command socket has read
// it and cut its line end: "host" or "host port". Pure: no sockets.
//
//   "10.0.0.9 2323"   host 10.0.0.9, port 2323
//   "10.0.0.9"        host 10.0.0.9, port 23
//   "10.0.0.9 two"    bad
// The line is cut at its first blank; what follows must be one decimal port
// (1 to 65535, blanks around it allowed). The host keeps at most 255
// characters. An empty host is not refused here: it fails to resolve.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qlm::circuit {

struct TelnetHostLine {
  std::string host;
  uint16_t port = 0;

  bool operator==(const TelnetHostLine&) const = default;
};

// nullopt when the port text is not a port.
std::optional<TelnetHostLine> ParseTelnetHostLine(std::string_view line);

}  // namespace qlm::circuit
