// WriteLog and ReportActivity: format once, write the log line under the log
// lock, then echo it in -debug and hand the line or record to a connected
// manager under the manager-channel lock (never both locks at once).
#include "engine/activity_log.h"

#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "engine/log_echo.h"
#include "engine/log_file.h"
#include "engine/manager_channel.h"
#include "link/msg.h"

namespace qlm::engine {

namespace {

std::atomic<bool> activity_enabled{false};
std::atomic<IReportSink*> report_sink{nullptr};

// A text from the network (a host name, a request line) may carry line ends;
// they would split one record into several lines of the file and let a client
// forge log lines, so they are written as blanks.
void FlattenLineEnds(char* text) {
  for (char* p = text; *p != '\0'; ++p) {
    if (*p == '\n' || *p == '\r') {
      *p = ' ';
    }
  }
}

std::string ConnectionIdentity(ThreadTag thread, const char* kind) {
  if (!thread) {
    return kind;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%#lx%s", static_cast<unsigned long>(*thread), kind);
  return text;
}

void SendActivity(const ConnectionContext& context, ThreadTag thread, const char* kind,
                  const std::optional<std::string>& text) {
  link::CMsg msg(link::MSG_ACTIVITY);
  msg.activity.key = context.Daemon != nullptr ? context.Daemon->Key() : std::string();
  msg.activity.connection = ConnectionIdentity(thread, kind != nullptr ? kind : "");
  msg.activity.text = text.value_or(std::string());
  if (IReportSink* sink = report_sink.load()) {
    sink->Activity(msg.activity.key, msg.activity.connection, text);
  }
  if (ActivityWanted()) {
    SendToManager(msg);
  }
}

}  // namespace

ThreadTag ThisThread() { return static_cast<long>(gettid()); }

std::string ActivityLine(const char* label, const char* client_ip, const char* client_name,
                         const char* remote_ip, const char* remote_name, unsigned remote_port,
                         const char* extra) {
  auto text = [](const char* s) { return s != nullptr ? s : ""; };
  const char* format = extra != nullptr ? "%-9s %-16s %-16s %-16s %-25s %-6u %s"
                                        : "%-9s %-16s %-16s %-16s %-25s %-6u";
  const int length = std::snprintf(nullptr, 0, format, text(label), text(client_ip),
                                    text(client_name), text(remote_ip), text(remote_name),
                                    remote_port, text(extra));
  std::string line(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  std::snprintf(line.data(), line.size() + 1, format, text(label), text(client_ip),
                text(client_name), text(remote_ip), text(remote_name), remote_port, text(extra));
  return line;
}

void WriteLog(ThreadTag thread, const char* kind, const char* format, ...) {
  IReportSink* sink = report_sink.load();
  if (sink == nullptr && !LogOpen()) {
    return;
  }
  char text[kLogTextLimit + 1] = "";
  if (format != nullptr) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
  }
  FlattenLineEnds(text);
  if (kind == nullptr) {
    kind = kKindRecord;
  }
  if (sink != nullptr) {
    sink->Log(thread, kind, text);
  }
  const std::string line = FormatLogLine(std::time(nullptr), thread, kind, text);
  if (!EngineLog().IsOpen()) {
    EchoLogLine(line);
    return;
  }
  const std::vector<std::string> written = EngineLog().Append(line);
  // The log lock is released here; each line then goes to the terminal of
  // -debug and to the manager.
  for (const std::string& written_line : written) {
    EchoLogLine(written_line);
  }
  for (const std::string& written_line : written) {
    link::CMsg msg(link::MSG_LOG_LINE);
    msg.text = written_line;
    if (!SendToManager(msg)) {
      break;
    }
  }
}

void ReportActivity(const ConnectionContext& context, ThreadTag thread, const char* kind,
                    const char* format, ...) {
  if (report_sink.load() == nullptr && !ActivityWanted()) {
    return;
  }
  std::optional<std::string> text;
  if (format != nullptr) {
    char buffer[kActivityTextLimit + 1] = "";
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    text = buffer;
  }
  SendActivity(context, thread, kind, text);
}

void EndActivity(const ConnectionContext& context, ThreadTag thread, const char* kind) {
  if (report_sink.load() == nullptr && !ActivityWanted()) {
    return;
  }
  SendActivity(context, thread, kind, std::nullopt);
}

bool LogOpen() { return EngineLog().IsOpen() || LogEchoOn(); }

bool ActivityWanted() { return activity_enabled.load() && ManagerConnected(); }

void SetActivityEnabled(bool enabled) { activity_enabled.store(enabled); }

void SetReportSinkForTest(IReportSink* sink) { report_sink.store(sink); }

}  // namespace qlm::engine
