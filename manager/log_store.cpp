// The log viewer's line store.
#include "manager/log_store.h"


namespace qlm::manager {

void CLogStore::SetLogContent(std::vector<std::string> lines) {
  std::lock_guard<std::mutex> lock(mutex_);
  incoming_ = std::move(lines);
  reset_ = true;
}

void CLogStore::AppendLogLine(std::string line) {
  std::lock_guard<std::mutex> lock(mutex_);
  incoming_.push_back(std::move(line));
}

bool CLogStore::Take(std::vector<std::string>* lines) {
  std::lock_guard<std::mutex> lock(mutex_);
  lines->swap(incoming_);
  incoming_.clear();
  const bool reset = reset_;
  reset_ = false;
  return reset;
}

}  // namespace qlm::manager
