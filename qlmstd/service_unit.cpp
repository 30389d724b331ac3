// Writing and deleting the engine's systemd unit.
#include "qlmstd/service_unit.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "qlmstd/qlmstd.h"
#include "qlmstd/service_control.h"
#include "qlmstd/service_manager.h"

namespace qlm::qlmstd {
namespace {

inline constexpr const char* kNoSystemdText =
    "systemd is not running on this system; start the engine with -win32 instead";
inline constexpr const char* kNoInstallDirText =
    "the store has no InstallDir (set it with: qlmreg init FOLDER)";
inline constexpr const char* kNoEngineFormat =
    "%s is not an executable program; InstallDir must name the folder holding qlmsvr "
    "(set it with: qlmreg init FOLDER)";
inline constexpr const char* kAlreadyInstalledFormat =
    "%s exists already; remove the service first (qlmsvr -remove)";
inline constexpr const char* kNotInstalledFormat = "%s does not exist";
inline constexpr const char* kPackageUnitFormat =
    "%s belongs to the installed package; remove the package to remove the service";
// The start-pending wait hint of the service: the time start-up may take.
inline constexpr int kStartTimeoutSeconds = 120;

std::string Formatted(const char* format, const std::string& argument) {
  char text[512];
  std::snprintf(text, sizeof text, format, argument.c_str());
  return text;
}

std::string ErrnoText(const std::string& path, int error) {
  return path + ": " + std::strerror(error);
}

bool IsExecutableProgram(const std::string& path) {
  struct stat st {};
  return !path.empty() && path[0] == '/' && stat(path.c_str(), &st) == 0 &&
         S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// systemd splits ExecStart at blanks, takes backslashes and quotes as
// escapes and expands "%" sequences: such a path is written quoted, with
// its escapes and "%" doubled.
std::string ExecStartWord(const std::string& path) {
  if (path.find_first_of(" \t\"'\\%") == std::string::npos) {
    return path;
  }
  std::string word = "\"";
  for (char c : path) {
    if (c == '"' || c == '\\') {
      word += '\\';
    } else if (c == '%') {
      word += '%';
    }
    word += c;
  }
  return word + "\"";
}

}  // namespace

namespace {

// [Unit] and the first [Service] lines, shared by both units.
std::string UnitHead(const std::string& program, const char* after) {
  return std::string("[Unit]\nDescription=") + kServiceDisplayName + after +
         "\n\n[Service]\nType=notify\nExecStart=" + ExecStartWord(program) +
         "\nRestart=on-failure\nLimitNOFILE=" + std::to_string(kServiceDescriptorLimit) +
         "\nTimeoutStartSec=" + std::to_string(kStartTimeoutSeconds) + "\n";
}

inline constexpr const char* kInstallSection = "\n[Install]\nWantedBy=multi-user.target\n";

// What the service needs: binding the well-known ports (53, 80, 21, ...),
// the raw ICMP socket of the DHCP server's address check where unprivileged
// ICMP is off, and broadcasts (DHCP offers, the keep-alive query).
inline constexpr const char* kServiceCapabilities =
    "CAP_NET_BIND_SERVICE CAP_NET_RAW CAP_NET_BROADCAST";

}  // namespace

std::string ServiceUnitText(const std::string& program) {
  return UnitHead(program, "\nAfter=network.target") + kInstallSection;
}

std::string PackagedServiceUnitText(const std::string& program) {
  const std::string user = kServiceUser;
  const std::string capabilities = kServiceCapabilities;
  // The listeners bind to the host's first address, which must be there
  // when the engine starts.
  return UnitHead(program,
                  "\nDocumentation=man:qlmsvr(8)\nWants=network-online.target"
                  "\nAfter=network-online.target") +
         "User=" + user + "\nGroup=" + user +
         // The store, its leases and the log stay the administrators' group's.
         "\nUMask=0007\nWorkingDirectory=" + kServiceStateFolder +
         "\nSyslogIdentifier=" + kServiceName + "\nAmbientCapabilities=" + capabilities +
         "\nCapabilityBoundingSet=" + capabilities +
         "\nNoNewPrivileges=yes\nProtectSystem=strict\nReadWritePaths=" +
         kServiceStateFolder + " " + kServiceLogFolder + " " + kServiceRunFolder +
         "\nProtectHome=yes\nPrivateTmp=yes\nPrivateDevices=yes\nProtectClock=yes"
         "\nProtectHostname=yes\nProtectKernelTunables=yes\nProtectKernelModules=yes"
         "\nProtectKernelLogs=yes\nProtectControlGroups=yes\nProtectProc=invisible"
         "\nRestrictNamespaces=yes\nRestrictRealtime=yes\nRestrictSUIDSGID=yes"
         "\nLockPersonality=yes\nMemoryDenyWriteExecute=yes\nRemoveIPC=yes"
         // Sockets: IPv4 (IPv6 for name servers the resolver may ask), the
         // system log and sd_notify, the interface list.
         "\nRestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX AF_NETLINK"
         "\nSystemCallArchitectures=native\n" +
         kInstallSection;
}

std::string InstalledEngineProgram() {
  char dir[256] = {};
  if (!CQlmstd::GetAppInstallDir(dir, 224) || dir[0] == '\0') {
    return {};
  }
  char program[256];
  std::snprintf(program, sizeof program, "%s/%s", dir, kEngineProgram);
  return program;
}

ServiceUnitResult InstallServiceUnit() {
  // The program first: its absence is the installation's fault, whatever
  // service manager this machine has.
  const std::string program = InstalledEngineProgram();
  if (program.empty()) {
    return {false, kNoInstallDirText};
  }
  if (!IsExecutableProgram(program)) {
    return {false, Formatted(kNoEngineFormat, program)};
  }
  const ServiceControlPaths paths = GetServiceControlPaths();
  if (!ServiceManagerReachable(paths)) {
    return {false, kNoSystemdText};
  }
  const std::string unit_path = UnitPath(paths);
  if (UnitExists(paths)) {
    // As the service manager refuses a second service of one name.
    struct stat st {};
    const bool local = stat(unit_path.c_str(), &st) == 0;
    return {false, Formatted(kAlreadyInstalledFormat, local ? unit_path : PackageUnitPath(paths))};
  }
  std::ofstream unit(unit_path, std::ios::trunc);
  unit << ServiceUnitText(program);
  unit.close();
  if (!unit) {
    const int error = errno != 0 ? errno : EIO;
    std::remove(unit_path.c_str());
    return {false, ErrnoText(unit_path, error)};
  }
  Systemctl(paths, {"daemon-reload"}, nullptr);
  return {true, {}};
}

ServiceUnitResult RemoveServiceUnit() {
  const ServiceControlPaths paths = GetServiceControlPaths();
  if (!ServiceManagerReachable(paths)) {
    return {false, kNoSystemdText};
  }
  const std::string unit_path = UnitPath(paths);
  struct stat st {};
  if (stat(unit_path.c_str(), &st) != 0) {
    if (UnitExists(paths)) {
      // The package's own file: deleting it would leave the package broken.
      return {false, Formatted(kPackageUnitFormat, PackageUnitPath(paths))};
    }
    return {false, Formatted(kNotInstalledFormat, unit_path)};
  }
  // systemctl stop returns once the stop-pending state is over.
  Systemctl(paths, {"stop", kUnitFileName}, nullptr);
  if (std::remove(unit_path.c_str()) != 0) {
    return {false, ErrnoText(unit_path, errno)};
  }
  Systemctl(paths, {"daemon-reload"}, nullptr);
  return {true, {}};
}

bool CQlmstd::ServiceInstall() { return InstallServiceUnit().ok; }

bool CQlmstd::ServiceRemove() { return RemoveServiceUnit().ok; }

}  // namespace qlm::qlmstd
