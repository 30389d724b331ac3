// The engine's log file: one text line per WriteLog call, a count of its lines,
// and the size limit that cuts the file back to its newest half once it holds
// more than MaxLines lines. One instance per engine, guarded by the log lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/activity_log.h"

namespace qlm::engine {

inline constexpr const char* kLogOpenFailedFormat = "Can not open Log file %s because of error code %d";
// Written (once per run of failures) when the file could not be cut back; the
// engine then keeps appending to the file it has.
inline constexpr const char* kLogTrimFailedFormat =
    "Can not trim Log file %s because of error code %d; logging continues in the untrimmed file";
// The engine's own default for a missing "MaxLines".
inline constexpr uint32_t kDefaultMaxLines = 2000;
// The formatted text is cut here, then to 200 characters in the line; the
// whole line is cut at 354 characters before its "\n".
inline constexpr size_t kLogTextLimit = 254;
inline constexpr size_t kLogLineLimit = 354;

class CLogFile {
 public:
  // Opens a file the way fopen does; tests pass one that fails on demand.
  using Opener = std::function<FILE*(const char* name, const char* mode)>;

  CLogFile();
  explicit CLogFile(Opener opener);
  ~CLogFile();
  CLogFile(const CLogFile&) = delete;
  CLogFile& operator=(const CLogFile&) = delete;

  // OpenLog: false when already open, or when the file cannot be opened (then
  // "Can not open Log file %s because of error code %d" goes to the system log
  // and standard error). On success the existing lines are counted and new
  // lines are appended.
  bool Open(const std::string& name);
  // CloseLog: no more lines are written.
  void Close();
  bool IsOpen() const { return open_.load(std::memory_order_acquire); }

  void SetMaxLines(uint32_t max_lines);
  uint32_t LineCount() const;

  // Writes `line` and "\n", counts it, and cuts the file back when the count
  // passes MaxLines. Returns the lines that went into the file in order: the
  // line itself, plus an ERR line when a cut failed; nothing when closed.
  std::vector<std::string> Append(const std::string& line);

  // Every line of the file, first to last, without line ends; nullopt when
  // the file is not open. Appending goes on at the end afterwards.
  std::optional<std::vector<std::string>> ReadLines();

 private:
  FILE* OpenFile(const std::string& name);
  void CountLines();
  void Trim(std::vector<std::string>& written);
  int CopyNewestLines(FILE* from, FILE* to, uint32_t* kept);
  void WriteLine(const std::string& line);

  Opener opener_;
  mutable std::mutex mutex_;
  FILE* file_ = nullptr;        // Guarded by mutex_
  std::string name_;            // Guarded by mutex_
  uint32_t lines_ = 0;          // Guarded by mutex_
  uint32_t max_lines_ = kDefaultMaxLines;  // Guarded by mutex_
  bool trim_failed_ = false;    // Guarded by mutex_
  std::atomic<bool> open_{false};
};

// The engine's one log.
CLogFile& EngineLog();
bool OpenLog(const std::string& name);
void CloseLog();
void SetLogMaxLines(uint32_t max_lines);

// One log line without its "\n": "%s %#x %-5s %.200s" with a thread,
// "%s -   %-5s %.200s" without; time "%m/%d/%Y %H:%M:%S" in local time.
std::string FormatLogLine(std::time_t when, ThreadTag thread, const char* kind,
                          const std::string& text);

}  // namespace qlm::engine
