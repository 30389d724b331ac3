// What pppd's log lines say about the line it brings up, and its exit codes
// as error numbers and texts. Pure: lines in, events out.
//
//   pppd line (log on its standard output)     state reported
//   "Serial connection established."           Device Connected
//   "Using interface ppp0"                     (interface name only)
//   "Connect: ppp0 <--> /dev/ttyS0"            All Devices Connected
//   "PAP authentication succeeded" (or CHAP)   Authenticated
//   "PAP authentication failed" (or CHAP)      Starting Authentication, error 691
//   "local  IP address 10.0.0.2"               Connected
//   "Connection terminated." / "Modem hangup"  Disconnected
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qlm::dialup {

// Error numbers of the pppd backend (beside 0 and the pending 600).
inline constexpr int kPppdAuthenticationFailed = 691;
inline constexpr int kPppdEntryNotFound = 623;
inline constexpr int kPppdCannotStart = 1100;
// pppd's exit code n is the error kPppdExitBase + n.
inline constexpr int kPppdExitBase = 1000;

struct PppdLogEvent {
  std::optional<int> state;               // a state the line has reached
  int error = 0;                          // an error that ends the dial
  std::optional<std::string> interface_name;
};

// One log line (without its line end); an event with nothing set for lines
// that say nothing about the line's state.
PppdLogEvent ParsePppdLogLine(std::string_view line);

// The text of a pppd backend error number; nullopt for numbers it does not know.
std::optional<std::string> PppdErrorText(int error);

}  // namespace qlm::dialup
