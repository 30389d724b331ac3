// The "Log" section: the log file's name, whether to write it, and its size limit.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "engine/config/config_direction.h"

namespace qlm::engine {

struct LogSettings {
  std::string FileName;
  uint32_t Enable = 0;
  uint32_t MaxLines = 2000;

  bool operator==(const LogSettings&) const = default;
};

// The default "FileName": InstallDir, "/", the start date as "%m%d%Y", ".log";
// the date name alone when the installation folder is unknown (empty).
std::string DefaultLogFileName(const std::string& install_dir, std::time_t start);

// Load: a missing FileName becomes DefaultLogFileName(start).
void ExchangeLog(LogSettings& settings, ConfigDirection direction,
                 std::time_t start = std::time(nullptr));

}  // namespace qlm::engine
