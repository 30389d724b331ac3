// Fuzzes the store text importer: any text parses to changes or to the first
// faulty line, never both, and every line number stays within the text. Each
// value set is written back the way the exporter quotes names and carries
// bytes, and must read back to the same name, type and bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "qlmstd/qlmreg/reg_text_parser.h"

namespace {

using qlm::qlmstd::ParseRegText;
using qlm::qlmstd::QuoteRegString;
using qlm::qlmstd::RegChange;
using qlm::qlmstd::RegParseResult;

std::string HexValue(const RegChange& change) {
  std::string text = "hex(" + [&] {
    char type[16];
    std::snprintf(type, sizeof type, "%x", static_cast<unsigned>(change.value.type));
    return std::string(type);
  }() + "):";
  for (size_t i = 0; i < change.value.data.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x", change.value.data[i]);
    text += byte;
  }
  return text;
}

void WriteBack(const RegChange& change) {
  const std::string name = change.name.empty() ? "@" : QuoteRegString(change.name);
  const std::string text = "[K]\n" + name + "=" + HexValue(change) + "\n";
  const RegParseResult back = ParseRegText(text);
  if (!back.ok || back.changes.size() != 2) {
    std::abort();
  }
  const RegChange& value = back.changes[1];
  if (value.kind != RegChange::Kind::kSetValue || value.name != change.name ||
      value.value.type != change.value.type || value.value.data != change.value.data) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t lines = 1;
  for (char c : text) {
    lines += c == '\n' ? 1 : 0;
  }
  const RegParseResult result = ParseRegText(text);
  if (result.ok) {
    if (!result.error.empty()) {
      std::abort();
    }
    for (const RegChange& change : result.changes) {
      if (change.line < 1 || change.line > lines) {
        std::abort();
      }
      if (change.kind == RegChange::Kind::kSetValue) {
        WriteBack(change);
      }
    }
  } else if (result.error.empty() || result.error_line < 1 || result.error_line > lines) {
    std::abort();
  }
  return 0;
}
