// The log shown as it is written: in -debug every line WriteLog makes also
// goes to standard output, formatted exactly as in the log file (time,
// thread, kind, text), whether or not a log file is open, so whoever runs the
// engine by hand sees what it does. Other modes have no terminal to show it
// on, and a service's standard output is the journal, which would hold the
// log twice.
//
// The echo never holds up the engine: a line that standard output cannot
// take at once (a pipe nobody reads, a paused pager) is left out, and the
// next line that goes through is preceded by a count of those left out. The
// log file, when open, keeps every line.
#pragma once

#include <cstdint>
#include <string>

namespace qlm::engine {

inline constexpr const char* kEchoSkippedFormat =
    "(%llu log lines not shown: standard output was not being read)";

// Where the lines go (1 for -debug); -1 turns the echo off.
void SetLogEcho(int fd);
bool LogEchoOn();
// Writes `line` and "\n" in one write, so lines of different threads never
// interleave. Nothing when the echo is off.
void EchoLogLine(const std::string& line);

}  // namespace qlm::engine
