// Reading pppd's log lines and naming its exit codes.
#include "dialup/pppd_log.h"

#include "dialup/dial_up_backend.h"

namespace qlm::dialup {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The first word after `prefix` ("ppp0" of "Using interface ppp0").
std::string WordAfter(std::string_view line, std::string_view prefix) {
  std::string_view rest = line.substr(prefix.size());
  size_t end = rest.find_first_of(" \t");
  return std::string(rest.substr(0, end));
}

// pppd's documented exit codes (its manual page, EXIT STATUS).
constexpr const char* kExitTexts[] = {
    "The connection was terminated at the peer's request.",
    "An immediately fatal error occurred in pppd.",
    "An error was detected in processing the pppd options.",
    "pppd is not setuid-root and the invoking user is not root.",
    "The kernel does not support PPP.",
    "pppd was terminated by a signal.",
    "The serial port could not be locked.",
    "The serial port could not be opened.",
    "The connect script failed.",
    "The command of the pty option could not be run.",
    "The PPP negotiation failed.",
    "The peer failed or refused to authenticate itself.",
    "The link was terminated because it was idle.",
    "The link was terminated because the connect time limit was reached.",
    "Callback was negotiated; an incoming call should arrive shortly.",
    "The link was terminated because the peer is not responding to echo requests.",
    "The link was terminated by the modem hanging up.",
    "The PPP negotiation failed because serial loopback was detected.",
    "The init script failed.",
    "We failed to authenticate ourselves to the peer.",
};

}  // namespace

PppdLogEvent ParsePppdLogLine(std::string_view line) {
  PppdLogEvent event;
  if (StartsWith(line, "Serial connection established")) {
    event.state = kRasDeviceConnected;
  } else if (StartsWith(line, "Using interface ")) {
    event.interface_name = WordAfter(line, "Using interface ");
  } else if (StartsWith(line, "Connect: ")) {
    event.state = kRasAllDevicesConnected;
    event.interface_name = WordAfter(line, "Connect: ");
  } else if (Contains(line, "authentication succeeded")) {
    event.state = kRasAuthenticated;
  } else if (Contains(line, "authentication failed")) {
    event.state = kRasAuthenticate;
    event.error = kPppdAuthenticationFailed;
  } else if (StartsWith(line, "local ") && Contains(line, "IP address")) {
    event.state = kRasConnected;
  } else if (StartsWith(line, "Connection terminated") || StartsWith(line, "Modem hangup")) {
    event.state = kRasDisconnected;
  }
  if (event.interface_name && event.interface_name->empty()) {
    event.interface_name.reset();
  }
  return event;
}

std::optional<std::string> PppdErrorText(int error) {
  switch (error) {
    case kPppdAuthenticationFailed:
      return "The user name or password was refused by the peer.";
    case kPppdEntryNotFound:
      return "The dial-up entry could not be found.";
    case kPppdCannotStart:
      return "The pppd program could not be started.";
    default:
      break;
  }
  int code = error - kPppdExitBase;
  if (code >= 0 && code < static_cast<int>(std::size(kExitTexts))) {
    return kExitTexts[code];
  }
  return std::nullopt;
}

}  // namespace qlm::dialup
