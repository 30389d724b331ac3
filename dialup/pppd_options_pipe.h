// How a dial hands pppd its user name and password: as an options file that
// is a pipe, filled and closed by the engine before pppd starts and read by
// pppd while it parses its options. The secrets never touch the file system,
// so no file is left to hold them when the engine stops with the line up,
// and the process list shows only the pipe's name.
#pragma once

#include <string>

namespace qlm::dialup {

// The descriptor pppd finds the pipe on, and the options file naming it.
inline constexpr int kPppdOptionsFd = 3;
inline constexpr const char* kPppdOptionsPath = "/dev/fd/3";

// A pipe holding `text` with its writing end closed: the reading end
// (close-on-exec, never kPppdOptionsFd itself, so that a spawn can always
// move it there), or -1 when the pipe cannot be made or `text` does not fit
// its buffer.
int OpenOptionsPipe(const std::string& text);

}  // namespace qlm::dialup
