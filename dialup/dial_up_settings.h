// The General values the dial-up manager works from, read once at engine
// start and unchanged while the engine runs, and the waits it makes (held as
// milliseconds so that tests can shorten them).
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <string>

#include "net/timeout.h"

namespace qlm::dialup {

struct DialUpSettings {
  bool UseDialUp = false;        // dial-up support on at all
  bool DialUpManaged = false;    // the engine keeps the line: needed to dial on demand and idle
  bool AutoConnect = false;      // dial on demand when a client needs the Internet
  bool NoDNSAutoConnect = true;  // never dial on demand for a name look-up alone
  std::string DialUpProfile;     // phone-book entry
  std::string DialUpUserId;
  std::string DialUpPasswd;
  bool DisconnectIdle = false;   // hang up after DisconnectIdleTime idle minutes
  int DisconnectIdleTime = 20;
  bool KeepAliveIdle = false;    // probe after KeepAliveIdleTime idle minutes
  int KeepAliveIdleTime = 20;
  bool DialOnControl = true;     // loaded only: the dial-control pages answer regardless
};

struct DialUpTimeouts {
  // WaitForConnection: `connection_rounds` sleeps of `connection_round`.
  net::Timeout connection_round{2000};
  int connection_rounds = 60;
  // After a hang-up the handle is polled every `release_poll` until it is gone,
  // for at most `release_bound`: a connection the platform never releases must
  // not stop the main loop.
  net::Timeout release_poll{500};
  net::Timeout release_bound{30000};
};

// Where the keep-alive query goes: the broadcast address, DNS port.
inline sockaddr_in KeepAliveBroadcast() {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(53);
  to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  return to;
}

}  // namespace qlm::dialup
