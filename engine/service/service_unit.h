// Installing the engine as a system service: a systemd unit
// QuillmarService.service that runs this program without arguments (the
// service mode). Only where systemd runs (/run/systemd/system exists).
#pragma once

#include <string>

namespace qlm::engine {

inline constexpr const char* kUnitFileName = "QuillmarService.service";

struct ServiceUnitPaths {
  std::string systemd_marker = "/run/systemd/system";  // exists when systemd runs
  std::string unit_folder = "/etc/systemd/system";
  std::string systemctl = "systemctl";
};

struct ServiceUnitResult {
  bool ok = false;
  std::string error;  // why not, for "... failed - %s"
};

// The unit's text for the engine program at `program`.
std::string ServiceUnitText(const std::string& program);

// Writes the unit and reloads systemd. `program` is the engine's own path.
ServiceUnitResult ServiceInstall(const std::string& program, const ServiceUnitPaths& paths = {});
// Stops the service if it runs, removes the unit and reloads systemd.
ServiceUnitResult ServiceRemove(const ServiceUnitPaths& paths = {});

}  // namespace qlm::engine
