// Shared pieces of the engine's log and channel tests: a temporary folder, a
// sink that keeps what WriteLog/ReportActivity were given, and file reading.
#pragma once

#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/activity_log.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace qlm::engine::test {

using CTempDir = qlm::test::CTempDir;

inline std::vector<std::string> FileLines(const std::string& name) {
  std::ifstream in(name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

using qlm::test::ActivityCall;
using qlm::test::LogCall;
using CRecordingSink = qlm::test::CLogCapture;

}  // namespace qlm::engine::test
