// The engine's systemd unit, QuillmarService.service: the one place that
// writes or deletes it, for the engine's -install and -remove and for the
// manager alike.
//
// The unit runs InstallDir/qlmsvr, the engine installed beside the manager
// and qlmreg, never whichever copy happened to ask for the install: the
// manager, the default log file and the service then all agree on one
// folder. An install therefore fails, writing nothing, unless an executable
// qlmsvr is in InstallDir.
#pragma once

#include <string>

namespace qlm::qlmstd {

// The descriptors the service may hold (soft and hard limit): 2000
// connections take two each (client and server side) besides the listeners,
// the log and the store, far beyond systemd's default soft limit of 1024.
inline constexpr unsigned kServiceDescriptorLimit = 65536;

struct ServiceUnitResult {
  bool ok = false;
  std::string error;  // why not, in words, for "Service Installation failed - %s"
};

// The unit text running `program` (an absolute path) in its service mode:
// Type=notify (the engine reports when its listeners are open),
// Restart=on-failure and LimitNOFILE=kServiceDescriptorLimit.
std::string ServiceUnitText(const std::string& program);

// The system account, store, log and lock folders of the packaged engine.
inline constexpr const char* kServiceUser = "quillmar";
inline constexpr const char* kServiceStateFolder = "/var/lib/quillmar";
inline constexpr const char* kServiceLogFolder = "/var/log/quillmar";
inline constexpr const char* kServiceRunFolder = "/run/quillmar";

// The same unit as shipped by the Debian package: the engine runs as the
// system account kServiceUser with only the capabilities its daemons need
// (ports below 1024, the DHCP server's ICMP echo and broadcasts), sees the
// file system read-only except its store, log and lock folders, and logs to
// the system log as QuillmarService.
std::string PackagedServiceUnitText(const std::string& program);

// InstallDir/qlmsvr; empty when the store has no InstallDir.
std::string InstalledEngineProgram();

// Writes the unit for InstalledEngineProgram() and has systemd reload its
// units. Fails, in this order, when the store has no InstallDir, that folder
// holds no executable qlmsvr, systemd does not run, or the unit exists
// already.
ServiceUnitResult InstallServiceUnit();

// Stops the service (systemctl returns once it has stopped), deletes the
// unit and has systemd reload. Fails when systemd does not run or the unit
// does not exist.
ServiceUnitResult RemoveServiceUnit();

}  // namespace qlm::qlmstd
