// The manager's two command-line words: "debug" and "trace", written with
// "-" or "/", in any case. Either opens the trace file.
#pragma once

#include <string>
#include <vector>

namespace qlm::manager {

inline constexpr char kTraceFileName[] = "event.log";

struct ManagerCommandLine {
  bool debug = false;
  bool trace = false;
  bool TraceWanted() const { return debug || trace; }
};

// Words it does not know are left to the toolkit.
ManagerCommandLine ParseManagerCommandLine(const std::vector<std::string>& args);

}  // namespace qlm::manager
