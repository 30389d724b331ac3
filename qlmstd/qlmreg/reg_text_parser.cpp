// The registry-editor text format read by `qlmreg import`:
//
//   Windows Registry Editor Version 5.00   optional first line (or REGEDIT4)
//   ; comment                              ignored, as are blank lines
//   [KEY]                                  the key the following values go to,
//                                          created when missing
//   [-KEY]                                 deletes KEY with everything below it
//   "Name"="text"                          string; inside quotes \\ is a
//                                          backslash, \" a quote, \n and \r
//                                          line ends
//   "Name"=dword:0000001f                  32-bit integer, 1 to 8 hex digits
//   "Name"=hex:01,02                       binary bytes ("hex:" alone is empty);
//   "Name"=hex(1):41,00                    bytes of the type number in brackets
//                                          (hexadecimal: 1 string, 4 integer),
//                                          for values the forms above cannot
//                                          carry (a string without its zero);
//                                          a line ending in "," and "\"
//                                          continues on the next line
//   @=...                                  the key's unnamed value
//   "Name"=-                               deletes the value
//
// KEY is a path relative to the product root with levels joined by "\"
// (Daemons\127.0.0.1:1080); [] is the root itself; a path starting with
// HKEY_LOCAL_MACHINE\ or HKEY_CURRENT_USER\ is taken from the store's top.
// Any other line is an error, reported as "line N: ..." with the first
// faulty line; then nothing is applied.
#include "qlmstd/qlmreg/reg_text_parser.h"

#include <cctype>
#include <cstdint>
#include <optional>

namespace qlm::qlmstd {
namespace {

std::string Trim(const std::string& s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) {
    ++b;
  }
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) {
    --e;
  }
  return s.substr(b, e - b);
}

// Reads a quoted text starting at s[pos] == '"'; pos moves past the closing
// quote. nullopt when it is not closed or holds an unknown escape.
std::optional<std::string> ReadQuoted(const std::string& s, size_t& pos, std::string& error) {
  std::string out;
  for (size_t i = pos + 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      pos = i + 1;
      return out;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= s.size()) {
      break;
    }
    switch (s[i]) {
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default:
        error = std::string("unknown escape \\") + s[i];
        return std::nullopt;
    }
  }
  error = "unterminated string";
  return std::nullopt;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::vector<uint8_t>> ParseHexBytes(const std::string& text, std::string& error) {
  std::vector<uint8_t> bytes;
  std::string t = Trim(text);
  if (t.empty()) {
    return bytes;
  }
  size_t pos = 0;
  while (true) {
    size_t comma = t.find(',', pos);
    std::string item = Trim(t.substr(pos, comma == std::string::npos ? std::string::npos
                                                                      : comma - pos));
    if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) {
      error = "bad hex byte \"" + item + "\"";
      return std::nullopt;
    }
    bytes.push_back(static_cast<uint8_t>(HexDigit(item[0]) * 16 + HexDigit(item[1])));
    if (comma == std::string::npos) {
      return bytes;
    }
    pos = comma + 1;
  }
}

std::optional<uint32_t> ParseDword(const std::string& text, std::string& error) {
  std::string t = Trim(text);
  if (t.empty() || t.size() > 8) {
    error = "bad dword \"" + t + "\"";
    return std::nullopt;
  }
  uint32_t v = 0;
  for (char c : t) {
    int d = HexDigit(c);
    if (d < 0) {
      error = "bad dword \"" + t + "\"";
      return std::nullopt;
    }
    v = v * 16 + static_cast<uint32_t>(d);
  }
  return v;
}

// The right-hand side of a value line into `change`.
bool ParseData(const std::string& data, RegChange& change, std::string& error) {
  if (data == "-") {
    change.kind = RegChange::Kind::kDeleteValue;
    return true;
  }
  change.kind = RegChange::Kind::kSetValue;
  if (!data.empty() && data[0] == '"') {
    size_t pos = 0;
    auto text = ReadQuoted(data, pos, error);
    if (!text) {
      return false;
    }
    if (!Trim(data.substr(pos)).empty()) {
      error = "text after the closing quote";
      return false;
    }
    change.value.type = ValueType::kString;
    change.value.data.assign(text->begin(), text->end());
    change.value.data.push_back(0);
    return true;
  }
  if (data.rfind("dword:", 0) == 0) {
    auto v = ParseDword(data.substr(6), error);
    if (!v) {
      return false;
    }
    change.value.type = ValueType::kDword;
    change.value.data = {static_cast<uint8_t>(*v), static_cast<uint8_t>(*v >> 8),
                         static_cast<uint8_t>(*v >> 16), static_cast<uint8_t>(*v >> 24)};
    return true;
  }
  if (data.rfind("hex(", 0) == 0) {
    size_t close = data.find("):");
    if (close == std::string::npos) {
      error = "missing \"):\" after \"hex(\"";
      return false;
    }
    auto type = ParseDword(data.substr(4, close - 4), error);
    if (!type) {
      error = "bad value type \"" + data.substr(4, close - 4) + "\"";
      return false;
    }
    auto bytes = ParseHexBytes(data.substr(close + 2), error);
    if (!bytes) {
      return false;
    }
    change.value.type = static_cast<ValueType>(*type);
    change.value.data = *bytes;
    return true;
  }
  if (data.rfind("hex:", 0) == 0) {
    auto bytes = ParseHexBytes(data.substr(4), error);
    if (!bytes) {
      return false;
    }
    change.value.type = ValueType::kBinary;
    change.value.data = *bytes;
    return true;
  }
  error = "unknown value type in \"" + data + "\"";
  return false;
}

bool ParseKeyLine(const std::string& line, RegChange& change, std::string& error) {
  if (line.back() != ']') {
    error = "missing \"]\"";
    return false;
  }
  std::string path = line.substr(1, line.size() - 2);
  change.kind = RegChange::Kind::kCreateKey;
  if (!path.empty() && path[0] == '-') {
    change.kind = RegChange::Kind::kDeleteKey;
    path.erase(0, 1);
    if (Trim(path).empty()) {
      error = "the root cannot be deleted";
      return false;
    }
  }
  if (path.find_first_of("[]") != std::string::npos) {
    error = "bracket inside a key name";
    return false;
  }
  change.key = path;
  return true;
}

bool ParseValueLine(const std::string& line, RegChange& change, std::string& error) {
  size_t pos = 0;
  if (line[0] == '@') {
    change.name.clear();
    pos = 1;
  } else {
    auto name = ReadQuoted(line, pos, error);
    if (!name) {
      return false;
    }
    change.name = *name;
  }
  std::string rest = Trim(line.substr(pos));
  if (rest.empty() || rest[0] != '=') {
    error = "missing \"=\" after the value name";
    return false;
  }
  return ParseData(Trim(rest.substr(1)), change, error);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      if (start < text.size()) {
        lines.push_back(text.substr(start));
      }
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  for (std::string& l : lines) {
    if (!l.empty() && l.back() == '\r') {
      l.pop_back();
    }
  }
  return lines;
}

}  // namespace

RegParseResult ParseRegText(const std::string& text) {
  RegParseResult result;
  std::vector<std::string> lines = SplitLines(text);
  std::optional<std::string> key;
  for (size_t i = 0; i < lines.size(); ++i) {
    size_t number = i + 1;
    std::string line = Trim(lines[i]);
    // A hex list continued over several lines ends its lines in "\".
    while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos &&
           i + 1 < lines.size()) {
      line.pop_back();
      line += Trim(lines[++i]);
    }
    std::string error;
    if (line.empty() || line[0] == ';' ||
        (number == 1 && (line == "REGEDIT4" || line == "Windows Registry Editor Version 5.00"))) {
      continue;
    }
    RegChange change;
    change.line = number;
    bool ok = false;
    if (line[0] == '[') {
      ok = ParseKeyLine(line, change, error);
      if (ok) {
        key = change.kind == RegChange::Kind::kCreateKey ? std::optional(change.key) : std::nullopt;
      }
    } else if (line[0] == '"' || line[0] == '@') {
      if (!key) {
        error = "value outside a key";
      } else {
        change.key = *key;
        ok = ParseValueLine(line, change, error);
      }
    } else {
      error = "not a key or value line";
    }
    if (!ok) {
      result.error_line = number;
      result.error = "line " + std::to_string(number) + ": " + error;
      result.changes.clear();
      return result;
    }
    result.changes.push_back(std::move(change));
  }
  result.ok = true;
  return result;
}

std::string QuoteRegString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out + "\"";
}

}  // namespace qlm::qlmstd
