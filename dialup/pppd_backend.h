// The dial-up service of this machine: pppd. Phone-book entries are the files
// of the peers folder (/etc/ppp/peers); a dial starts
//   pppd call ENTRY nodetach user USER password PASSWORD
// and follows its progress; a hang-up stops that pppd; a connection's state
// comes from its process and its ppp interface. Without a pppd program the
// service counts as missing and dial-up stays off.
#pragma once

#include <string>

#include "dialup/dial_up_backend.h"

namespace qlm::dialup {

struct PppdPaths {
  // The pppd program: an absolute path, or a name searched on PATH.
  std::string program = "pppd";
  std::string peers_folder = "/etc/ppp/peers";
  // Where the kernel shows network interfaces (ppp0's operstate and flags).
  std::string interfaces_folder = "/sys/class/net";
};

// The backend for this machine (pppd with the default paths).
DialUpBackendPtr MakePlatformBackend();
DialUpBackendPtr MakePppdBackend(const PppdPaths& paths);

}  // namespace qlm::dialup
