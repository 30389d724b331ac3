// Command-line words of the engine.
#include "engine/service/command_line.h"

#include <strings.h>

namespace qlm::engine {

EngineCommand ParseCommandLine(const std::vector<std::string>& args) {
  if (args.empty() || args[0].empty() || (args[0][0] != '-' && args[0][0] != '/')) {
    return EngineCommand::kService;
  }
  const char* word = args[0].c_str() + 1;
  if (strcasecmp(word, "install") == 0) {
    return EngineCommand::kInstall;
  }
  if (strcasecmp(word, "remove") == 0) {
    return EngineCommand::kRemove;
  }
  if (strcasecmp(word, "debug") == 0) {
    return EngineCommand::kDebug;
  }
  if (strcasecmp(word, "win32") == 0) {
    return EngineCommand::kWin32;
  }
  return EngineCommand::kService;
}

}  // namespace qlm::engine
