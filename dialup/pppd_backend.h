// The dial-up service of this machine: pppd. Phone-book entries are the files
// of the peers folder (/etc/ppp/peers); a dial starts
//   pppd call ENTRY nodetach logfd 1 file /dev/fd/3
// where descriptor 3 is a pipe holding the user name and password ("user"
// and "password" options), read by pppd at its start: the password never
// shows in the process list and never lies in a file (pppd_options_pipe.h).
// pppd's log on its standard output gives the states of the dial; a hang-up
// stops that pppd;
// a line's state comes from its process and its ppp interface. ppp interfaces
// brought up by a pppd started elsewhere count as lines of the machine too.
// Without a pppd program the service counts as missing and dial-up stays off.
#pragma once

#include <string>

#include "dialup/dial_up_backend.h"
#include "net/timeout.h"

namespace qlm::dialup {

struct PppdPaths {
  // The pppd program: an absolute path, or a name searched on PATH.
  std::string program = "pppd";
  std::string peers_folder = "/etc/ppp/peers";
  // Where the kernel shows network interfaces (ppp0's flags).
  std::string interfaces_folder = "/sys/class/net";
  // Where any pppd writes "<interface>.pid": how a line started outside the
  // engine is hung up.
  std::string pid_folder = "/run";
  // After a hang-up, how long pppd may take to end before it is killed.
  net::Timeout kill_grace{10000};
};

// The backend for this machine (pppd with the default paths).
DialUpBackendPtr MakePlatformBackend();
DialUpBackendPtr MakePppdBackend(const PppdPaths& paths);

}  // namespace qlm::dialup
