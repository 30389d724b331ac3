// Lines of this machine that the engine did not dial: ppp interfaces brought
// up by a pppd started elsewhere (by the system or by hand). The engine must
// see them, so that it neither dials a second line over a working one nor
// reports the line as down, and hanging up stops them like its own.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dialup/dial_up_backend.h"

namespace qlm::dialup {

class CPppInterfaceLines {
 public:
  // `interfaces_folder`: /sys/class/net; `pid_folder`: where pppd writes
  // "<interface>.pid" (its process id on the first line), /run.
  CPppInterfaceLines(std::string interfaces_folder, std::string pid_folder);

  // The ppp interfaces present now, except the engine's own (named in
  // `own_interfaces`, or whose pid file names one of `own_pids`: an own pppd
  // may have made its interface before saying so), each with a handle that
  // stays the same while the interface exists. New handles come from
  // `next_handle`.
  std::vector<ConnectionHandle> Enumerate(const std::set<std::string>& own_interfaces,
                                          const std::set<long>& own_pids,
                                          ConnectionHandle& next_handle);
  // Whether `handle` is one of these lines.
  bool Knows(ConnectionHandle handle) const;
  // Connected while the interface is up, Disconnected while it is down;
  // nullopt once it is gone.
  std::optional<ConnectionStatus> Status(ConnectionHandle handle) const;
  // SIGTERM to the pppd named by the interface's pid file.
  void HangUp(ConnectionHandle handle);

 private:
  std::optional<std::string> NameOf(ConnectionHandle handle) const;
  // The process id in the interface's pid file, 0 when there is none.
  long PidOf(const std::string& name) const;

  const std::string interfaces_folder_;
  const std::string pid_folder_;
  mutable std::mutex mutex_;
  std::map<std::string, ConnectionHandle> handles_;  // Guarded by mutex_
};

// Whether the interface `name` under `interfaces_folder` has its up flag;
// nullopt when there is no such interface.
std::optional<bool> InterfaceUp(const std::string& interfaces_folder, const std::string& name);

}  // namespace qlm::dialup
