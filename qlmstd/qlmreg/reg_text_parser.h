// The registry-editor text that qlmreg exports and imports, parsed into the
// changes it asks for. Pure: text in, changes or the first faulty line out.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "qlmstd/store_key.h"

namespace qlm::qlmstd {

struct RegChange {
  enum class Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue } kind = Kind::kCreateKey;
  std::string key;    // as written between the brackets
  std::string name;   // value name ("" for the key's default value "@")
  StoreValue value;   // kSetValue only
  size_t line = 0;    // where it was written, for messages
};

struct RegParseResult {
  bool ok = false;
  std::vector<RegChange> changes;
  size_t error_line = 0;  // 1-based
  std::string error;      // "line N: ..." when !ok
};

RegParseResult ParseRegText(const std::string& text);

// The quoted form of a name or string value: \ and " escaped, line ends as \n and \r.
std::string QuoteRegString(const std::string& text);

}  // namespace qlm::qlmstd
