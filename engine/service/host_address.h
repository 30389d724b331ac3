// The host's own address where a listener has none configured: the dotted
// form of the first address the host's name resolves to, or "127.0.0.1" when
// the name or its look-up fails.
#pragma once

#include <string>

namespace qlm::engine {

inline constexpr const char* kLoopbackText = "127.0.0.1";

std::string HostFirstAddress();

}  // namespace qlm::engine
