// Engine failure reports: the system log stands in for the event log, and
// standard error for the service-notification message boxes.
#include "engine/engine_error_report.h"

#include <syslog.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>

namespace qlm::engine {

namespace {

std::atomic<bool> debug_mode{false};
std::atomic<int> exit_code{0};

std::mutex sink_mutex;
EngineReportSink report_sink;  // Guarded by sink_mutex

void ToSink(const std::string& kind, const std::string& text) {
  std::lock_guard<std::mutex> lock(sink_mutex);
  if (report_sink) {
    report_sink(kind, text);
  }
}

// Opened and closed around each record, as the event source is registered
// and deregistered around each report.
void ToSyslog(int priority, const std::string& text) {
  openlog(kServiceName, LOG_PID, LOG_DAEMON);
  syslog(priority, "%s", text.c_str());
  closelog();
}

}  // namespace

void ReportEngineError(const std::string& text, bool is_error, int error) {
  ToSink(is_error ? "error" : "information", text);
  if (debug_mode.load()) {
    return;
  }
  if (is_error) {
    exit_code.store(error);
    char head[96];
    std::snprintf(head, sizeof head, "%s error: %d", kServiceName, error);
    ToSyslog(LOG_ERR, std::string(head) + " " + text);
  } else {
    ToSyslog(LOG_INFO, text);
  }
}

void ReportEngineError(const std::string& text, bool is_error) {
  ReportEngineError(text, is_error, errno);
}

void ShowEngineMessage(const std::string& text, const std::string& title) {
  ToSink(title, text);
  ToSyslog(LOG_ERR, title + ": " + text);
  std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

void SetEngineDebugMode(bool debug) { debug_mode.store(debug); }
bool EngineDebugMode() { return debug_mode.load(); }
int ServiceExitCode() { return exit_code.load(); }

void SetEngineReportSinkForTest(EngineReportSink sink) {
  std::lock_guard<std::mutex> lock(sink_mutex);
  report_sink = std::move(sink);
}

}  // namespace qlm::engine
