// The manager's command-line words.
#include "manager/manager_command_line.h"

#include <strings.h>

namespace qlm::manager {

ManagerCommandLine ParseManagerCommandLine(const std::vector<std::string>& args) {
  ManagerCommandLine result;
  for (const std::string& arg : args) {
    if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '/')) {
      continue;
    }
    const char* word = arg.c_str() + 1;
    if (strcasecmp(word, "debug") == 0) {
      result.debug = true;
    } else if (strcasecmp(word, "trace") == 0) {
      result.trace = true;
    }
  }
  return result;
}

}  // namespace qlm::manager
