// The tests' log capture.
#include "tests/support/log_capture.h"

namespace qlm::test {

CLogCapture::CLogCapture() { engine::SetReportSinkForTest(this); }

CLogCapture::~CLogCapture() { engine::SetReportSinkForTest(nullptr); }

void CLogCapture::Log(engine::ThreadTag thread, const std::string& kind,
                      const std::string& text) {
  std::lock_guard lock(mutex_);
  logs_.push_back({thread, kind, text});
}

void CLogCapture::Activity(const std::string& key, const std::string& connection,
                           const std::optional<std::string>& text) {
  std::lock_guard lock(mutex_);
  activities_.push_back({key, connection, text});
}

std::vector<LogCall> CLogCapture::Logs() {
  std::lock_guard lock(mutex_);
  return logs_;
}

std::vector<ActivityCall> CLogCapture::Activities() {
  std::lock_guard lock(mutex_);
  return activities_;
}

bool CLogCapture::HasLine(const std::string& kind, const std::string& text) {
  std::lock_guard lock(mutex_);
  for (const LogCall& call : logs_) {
    if (call.kind == kind && call.text == text) {
      return true;
    }
  }
  return false;
}

bool CLogCapture::HasLineContaining(const std::string& kind, const std::string& part) {
  std::lock_guard lock(mutex_);
  for (const LogCall& call : logs_) {
    if (call.kind == kind && call.text.find(part) != std::string::npos) {
      return true;
    }
  }
  return false;
}

bool CLogCapture::HasLineStartingWith(const std::string& kind, const std::string& prefix) {
  std::lock_guard lock(mutex_);
  for (const LogCall& call : logs_) {
    if (call.kind == kind && call.text.compare(0, prefix.size(), prefix) == 0) {
      return true;
    }
  }
  return false;
}

std::string CLogCapture::All() {
  std::lock_guard lock(mutex_);
  std::string all;
  for (const LogCall& call : logs_) {
    all += call.kind + "|" + call.text + "\n";
  }
  return all;
}

}  // namespace qlm::test
