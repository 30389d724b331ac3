// Shared pieces of the engine's log and channel tests: a temporary folder, a
// sink that keeps what WriteLog/ReportActivity were given, and file reading.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/activity_log.h"

namespace qlm::engine::test {

class CTempDir {
 public:
  CTempDir() {
    char pattern[] = "/tmp/qlm-log-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~CTempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::vector<std::string> FileLines(const std::string& name) {
  std::ifstream in(name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

struct LogCall {
  ThreadTag thread;
  std::string kind;
  std::string text;
};
struct ActivityCall {
  std::string key;
  std::string connection;
  std::optional<std::string> text;
};

class CRecordingSink : public IReportSink {
 public:
  CRecordingSink() { SetReportSinkForTest(this); }
  ~CRecordingSink() override { SetReportSinkForTest(nullptr); }

  void Log(ThreadTag thread, const std::string& kind, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    logs_.push_back({thread, kind, text});
  }
  void Activity(const std::string& key, const std::string& connection,
                const std::optional<std::string>& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    activities_.push_back({key, connection, text});
  }
  std::vector<LogCall> Logs() {
    std::lock_guard<std::mutex> lock(mutex_);
    return logs_;
  }
  std::vector<ActivityCall> Activities() {
    std::lock_guard<std::mutex> lock(mutex_);
    return activities_;
  }

 private:
  std::mutex mutex_;
  std::vector<LogCall> logs_;
  std::vector<ActivityCall> activities_;
};

}  // namespace qlm::engine::test
