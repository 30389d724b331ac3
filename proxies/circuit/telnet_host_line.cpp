// The Telnet proxy's host line.
#include "proxies/circuit/telnet_host_line.h"

#include <charconv>

#include "proxies/circuit/telnet_wire.h"

namespace qlm::circuit {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::optional<TelnetHostLine> ParseTelnetHostLine(std::string_view line) {
  TelnetHostLine parsed;
  parsed.port = kTelnetDefaultPort;
  const size_t blank = line.find(' ');
  if (blank != std::string_view::npos) {
    // A port that is not a whole number in range would only fail the
    // connect later, or reach another port than the one typed.
    const std::string_view text = TrimBlanks(line.substr(blank + 1));
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0 ||
        value > 65535) {
      return std::nullopt;
    }
    parsed.port = static_cast<uint16_t>(value);
    line = line.substr(0, blank);
  }
  parsed.host = std::string(line.substr(0, kTelnetHostMax));
  return parsed;
}

}  // namespace qlm::circuit
