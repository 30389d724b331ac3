// The engine's command line: the first argument, after "-" or "/", names the
// mode in any letter case; anything else runs the service.
#pragma once

#include <string>
#include <vector>

namespace qlm::engine {

enum class EngineCommand { kInstall, kRemove, kDebug, kWin32, kService };

// `args` are the arguments after the program name.
EngineCommand ParseCommandLine(const std::vector<std::string>& args);

}  // namespace qlm::engine
