// How the engine tells the administrator about a failure outside any
// connection: the system log (ident "QuillmarService"), and for the few
// failures the administrator must see at once, a message on standard error as
// well (the engine's message boxes: it never waits for an answer).
#pragma once

#include <functional>
#include <string>

namespace qlm::engine {

inline constexpr const char* kServiceName = "QuillmarService";
inline constexpr const char* kErrorBoxTitle = "Quillmar Service Error Message";
inline constexpr const char* kInformationBoxTitle = "Quillmar Information";

// With is_error: records `error` as the service exit code and writes an error
// record "QuillmarService error: <error>" followed by the text; without, an
// information record with the text alone. Does nothing in debug mode.
void ReportEngineError(const std::string& text, bool is_error, int error);
// As above with the calling thread's last system error (errno).
void ReportEngineError(const std::string& text, bool is_error);

// A message the administrator must see: a system-log record plus a line
// "<title>: <text>" on standard error. Shown in every mode.
void ShowEngineMessage(const std::string& text, const std::string& title);

// Debug ("-debug", "-win32") turns the error reports off.
void SetEngineDebugMode(bool debug);
bool EngineDebugMode();
// The last error recorded by an error report (0 when none).
int ServiceExitCode();

// Tests: every report and message is also handed here (even in debug mode);
// kind is "error", "information" or the message's title.
using EngineReportSink = std::function<void(const std::string& kind, const std::string& text)>;
void SetEngineReportSinkForTest(EngineReportSink sink);

}  // namespace qlm::engine
