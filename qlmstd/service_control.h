// Where the engine's service lives: systemd, when it runs. Tests point the
// paths elsewhere (a marker that does not exist, a stand-in systemctl).
#pragma once

#include <string>

namespace qlm::qlmstd {

inline constexpr const char* kUnitFileName = "QuillmarService.service";
inline constexpr const char* kEngineProgram = "qlmsvr";
inline constexpr const char* kManagerProgram = "quillmar";

struct ServiceControlPaths {
  std::string systemd_marker = "/run/systemd/system";  // exists when systemd runs
  std::string unit_folder = "/etc/systemd/system";
  std::string systemctl = "systemctl";
  // Where an installed package keeps its unit: an engine installed that way
  // is a registered service too, though -install did not write it.
  std::string package_unit_folder = "/lib/systemd/system";
};

// The paths the service functions use (process-wide; set before use).
ServiceControlPaths GetServiceControlPaths();
void SetServiceControlPaths(const ServiceControlPaths& paths);

}  // namespace qlm::qlmstd
