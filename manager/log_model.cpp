// The log viewer's rows and how a line becomes columns.
#include "manager/log_model.h"

#include <iterator>

#include "manager/log_store.h"

namespace qlm::manager {

namespace {

// One blank-separated token starting at or after `pos`; `pos` moves past it.
// false when only blanks are left.
bool NextToken(const std::string& line, size_t* pos, std::string* token) {
  const size_t start = line.find_first_not_of(' ', *pos);
  if (start == std::string::npos) {
    *pos = line.size();
    return false;
  }
  size_t end = line.find(' ', start);
  if (end == std::string::npos) {
    end = line.size();
  }
  *token = line.substr(start, end - start);
  *pos = end;
  return true;
}

// The rest of the line after the separator that follows the last token.
std::string RestAfter(const std::string& line, size_t pos) {
  return pos + 1 < line.size() ? line.substr(pos + 1) : std::string();
}

}  // namespace

LogColumns SplitLogLine(const std::string& line) {
  LogColumns columns;
  columns.fill(" ");
  size_t pos = 0;
  std::string token;
  for (size_t c = 0; c < 4; ++c) {
    if (!NextToken(line, &pos, &token)) {
      return columns;
    }
    columns[c] = token;
  }
  if (columns[3] == "ERR") {
    const std::string rest = RestAfter(line, pos);
    if (!rest.empty()) {
      columns[9] = rest;
    }
    return columns;
  }
  for (size_t c = 4; c < 9; ++c) {
    if (!NextToken(line, &pos, &token)) {
      return columns;
    }
    columns[c] = token;
  }
  const std::string rest = RestAfter(line, pos);
  if (!rest.empty()) {
    columns[9] = rest;
  }
  return columns;
}

int LogIconIndex(const std::string& operation) {
  if (operation == "ERR") return 1;
  if (operation == "HTTP") return 2;
  if (operation == "DIAL-ON" || operation == "DIAL") return 3;
  if (operation == "DIAL-OFF") return 4;
  if (operation == "INFO") return 5;
  if (operation == "HTTPS") return 6;
  if (operation == "POP3" || operation == "SMTP") return 7;
  return 0;
}

CLogModel::Change CLogModel::RefreshLog() {
  std::vector<std::string> lines;
  const bool reset = store_->Take(&lines);
  if (reset) {
    displayed_ = std::move(lines);  // a whole new log replaces the rows
    return Change::kReloaded;
  }
  if (lines.empty()) {
    return Change::kNone;
  }
  displayed_.insert(displayed_.end(), std::make_move_iterator(lines.begin()),
                    std::make_move_iterator(lines.end()));
  return Change::kAppended;
}

void CLogModel::ReloadLog() { RefreshLog(); }

}  // namespace qlm::manager
