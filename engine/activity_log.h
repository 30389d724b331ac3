// The two reporting calls of every proxy. WriteLog appends one time-stamped
// line to the engine's log file and passes it to a connected manager;
// ReportActivity sends a live activity record to a connected manager. Both
// test for themselves whether anyone listens, so a proxy may call them freely.
#pragma once

#include <optional>
#include <string>

#include "engine/connection_context.h"

namespace qlm::engine {

// The thread column of a log line and the thread part of an activity row's
// identity: a kernel thread id (printed "%#x"), or none ("-" in the log).
using ThreadTag = std::optional<long>;
ThreadTag ThisThread();
inline constexpr ThreadTag kNoThread{};

// Kinds.
inline constexpr const char* kKindRecord = " ";
inline constexpr const char* kKindError = "ERR";
// Activity row kinds: the connection's main row, and further rows.
inline constexpr const char* kRowMain = "0";

// The activity line most proxies log when a connection or request begins:
// "%-9s %-16s %-16s %-16s %-25s %-6u" (+ " %s" when `extra` is given).
std::string ActivityLine(const char* label, const char* client_ip, const char* client_name,
                         const char* remote_ip, const char* remote_name, unsigned remote_port,
                         const char* extra = nullptr);

// Does nothing unless the log file is open or the log is echoed (-debug,
// log_echo.h). The text is cut at 254 characters, at most 200 of them reach
// the line.
void WriteLog(ThreadTag thread, const char* kind, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Does nothing unless the Activity section's Enable is on and a manager is
// connected. The text is cut at 127 characters.
void ReportActivity(const ConnectionContext& context, ThreadTag thread, const char* kind,
                    const char* format, ...) __attribute__((format(printf, 4, 5)));
// The record without text: the row identified by listener, thread and kind has
// ended and the manager removes it.
void EndActivity(const ConnectionContext& context, ThreadTag thread, const char* kind);

// Whether building a log line or an activity record is worth it now: the
// log file is open or its lines are echoed.
bool LogOpen();
bool ActivityWanted();

// The Activity section's "Enable", set once by the engine's start-up.
void SetActivityEnabled(bool enabled);

// Limits of the two texts: the log text is formatted into 254 characters, the
// activity text into 127.
inline constexpr size_t kActivityTextLimit = 127;

// Tests: every WriteLog/ReportActivity/EndActivity call is also handed to the
// sink, whether or not a log file is open or a manager connected.
class IReportSink {
 public:
  virtual ~IReportSink() = default;
  // `text` is the formatted text (254-cut), without time or thread.
  virtual void Log(ThreadTag thread, const std::string& kind, const std::string& text) = 0;
  // `text` absent for an ended row.
  virtual void Activity(const std::string& key, const std::string& connection,
                        const std::optional<std::string>& text) = 0;
};
void SetReportSinkForTest(IReportSink* sink);

}  // namespace qlm::engine
