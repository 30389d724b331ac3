// The test time-out overrides, parsed once from the environment.
#include "engine/timeout_overrides.h"

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

namespace qlm::engine {
namespace {

std::map<std::string, net::Timeout> Parse(const char* text) {
  std::map<std::string, net::Timeout> overrides;
  std::istringstream items(text != nullptr ? text : "");
  for (std::string item; std::getline(items, item, ',');) {
    const size_t equals = item.find('=');
    if (equals == std::string::npos) {
      continue;
    }
    char* end = nullptr;
    const long long ms = std::strtoll(item.c_str() + equals + 1, &end, 10);
    if (end != item.c_str() + equals + 1 && *end == '\0' && ms >= 0) {
      overrides[item.substr(0, equals)] = net::Timeout(ms);
    }
  }
  return overrides;
}

}  // namespace

net::Timeout TimeoutOr(const char* name, net::Timeout fallback) {
  static const std::map<std::string, net::Timeout> overrides =
      Parse(std::getenv("QUILLMAR_TIMEOUTS"));
  const auto found = overrides.find(name);
  return found != overrides.end() ? found->second : fallback;
}

}  // namespace qlm::engine
