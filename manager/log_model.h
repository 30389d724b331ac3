// The log viewer's rows: the displayed list (window thread only), filled from
// the log store on the heartbeat or by "Refresh", shown newest first, each
// line cut into ten columns after the engine's log line format
// ("date time id operation" then five activity columns and the message, or
// "ERR" and the message).
#pragma once

#include <array>
#include <string>
#include <vector>

namespace qlm::manager {

class CLogStore;

inline constexpr size_t kLogColumnCount = 10;
using LogColumns = std::array<std::string, kLogColumnCount>;

struct LogColumn {
  const char* title;
  int width;  // pixels
};
inline constexpr std::array<LogColumn, kLogColumnCount> kLogColumns{{
    {"Date", 90}, {"Time", 60}, {"ID", 50}, {"Operation", 70}, {"S_IP", 100},
    {"S_Name", 100}, {"D_IP", 100}, {"D_NAME", 140}, {"D_Port", 50}, {"Message", 800}}};

// Cuts one log line into the columns; a column without a token stays " ".
LogColumns SplitLogLine(const std::string& line);
// The row's icon by its Operation column: "ERR" 1, "HTTP" 2, "DIAL-ON" and
// "DIAL" 3, "DIAL-OFF" 4, "INFO" 5, "HTTPS" 6, "POP3" and "SMTP" 7, else 0.
int LogIconIndex(const std::string& operation);

class CLogModel {
 public:
  enum class Change { kNone, kReloaded, kAppended };

  explicit CLogModel(CLogStore* store) : store_(store) {}

  // Heartbeat: a whole new log reloads the rows; else waiting lines are
  // appended. Says what changed so the table redraws no more than needed.
  Change RefreshLog();
  // "Refresh": the same moves; the table is redrawn whole by its caller.
  void ReloadLog();

  size_t RowCount() const { return displayed_.size(); }
  // Row 0 is the newest line.
  const std::string& RowLine(size_t row) const { return displayed_[displayed_.size() - row - 1]; }
  LogColumns Row(size_t row) const { return SplitLogLine(RowLine(row)); }

 private:
  CLogStore* store_;
  std::vector<std::string> displayed_;
};

}  // namespace qlm::manager
