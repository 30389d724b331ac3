// The one log capture of the tests: while it lives, every WriteLog,
// ReportActivity and EndActivity call of the process is also handed to it
// (whether or not a log file is open or a manager listens), and the test
// reads them back.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/activity_log.h"

namespace qlm::test {

struct LogCall {
  engine::ThreadTag thread;
  std::string kind;
  std::string text;
};

struct ActivityCall {
  std::string key;
  std::string connection;
  std::optional<std::string> text;  // absent for an ended row
};

class CLogCapture : public engine::IReportSink {
 public:
  CLogCapture();
  ~CLogCapture() override;
  CLogCapture(const CLogCapture&) = delete;
  CLogCapture& operator=(const CLogCapture&) = delete;

  std::vector<LogCall> Logs();
  std::vector<ActivityCall> Activities();
  // Whether a line of this kind has exactly this text / contains `part`.
  bool HasLine(const std::string& kind, const std::string& text);
  bool HasLineContaining(const std::string& kind, const std::string& part);
  bool HasLineStartingWith(const std::string& kind, const std::string& prefix);
  // Every line as "kind|text", one per line (for failure messages).
  std::string All();

  // engine::IReportSink
  void Log(engine::ThreadTag thread, const std::string& kind, const std::string& text) override;
  void Activity(const std::string& key, const std::string& connection,
                const std::optional<std::string>& text) override;

 private:
  std::mutex mutex_;
  std::vector<LogCall> logs_;             // Guarded by mutex_
  std::vector<ActivityCall> activities_;  // Guarded by mutex_
};

}  // namespace qlm::test
