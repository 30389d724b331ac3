// Header-block look-up, insertion and removal.
#include "proxies/http/header_fields.h"

#include <algorithm>
#include <cctype>

#include "proxies/http/http_wire.h"

namespace qlm::http {
namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// End of the logical line starting at `pos`: offset of the LF that ends it,
// continuation lines included; npos when a line end is missing.
size_t LogicalLineEnd(std::string_view text, size_t pos) {
  size_t lf = text.find('\n', pos);
  while (lf != std::string_view::npos && lf + 1 < text.size() && IsBlank(text[lf + 1])) {
    lf = text.find('\n', lf + 1);
  }
  return lf;
}

// The line's content end: before the CR of CRLF.
size_t ContentEnd(std::string_view text, size_t lf) {
  return (lf > 0 && text[lf - 1] == '\r') ? lf - 1 : lf;
}

bool PrefixIgnoreCase(std::string_view line, std::string_view name) {
  if (line.size() < name.size()) {
    return false;
  }
  return EqualsIgnoreCase(line.substr(0, name.size()), name);
}

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

HeaderQuery HTTPQueryHeaderInfo(std::string_view text, std::string_view name,
                                size_t value_capacity) {
  HeaderQuery query;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t lf = LogicalLineEnd(text, pos);
    if (lf == std::string_view::npos) {
      query.result = kFieldNoLineEnd;
      return query;
    }
    const size_t end = ContentEnd(text, lf);
    const std::string_view line = text.substr(pos, end - pos);
    if (name.empty() || PrefixIgnoreCase(line, name)) {
      query.line_start = pos;
      query.next_line_start = lf + 1 < text.size() ? static_cast<std::ptrdiff_t>(lf + 1) : -1;
      const std::string_view value = line.substr(name.size());
      if (value_capacity <= value.size()) {
        query.result = kFieldValueTooLarge;
        return query;
      }
      query.value.assign(value);
      query.result = kFieldFound;
      return query;
    }
    pos = lf + 1;
  }
  query.result = kFieldNotFound;
  return query;
}

int AddHeaderField(std::string* block, std::string_view field) {
  std::string added;
  added.reserve(field.size() + 2 + block->size());
  added.append(field).append("\r\n").append(*block);
  block->swap(added);
  return 1;
}

int RemoveHeaderField(std::string* text, std::string_view name) {
  const HeaderQuery query = HTTPQueryHeaderInfo(*text, name);
  if (query.result == kFieldFound) {
    const size_t end = query.next_line_start < 0 ? text->size()
                                                 : static_cast<size_t>(query.next_line_start);
    text->erase(query.line_start, end - query.line_start);
  }
  return query.result;
}

int RemoveHeaderFields(std::string* text, std::string_view list) {
  int named = 0;
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t comma = list.find(',', pos);
    if (comma == std::string_view::npos) {
      comma = list.size();
    }
    const std::string word = FirstWord(list.substr(pos, comma - pos), std::string_view::npos);
    if (!word.empty()) {
      named = 1;
      RemoveHeaderField(text, word + ":");
    }
    pos = comma + 1;
  }
  return named;
}

int ProcessViaHeader(std::string* block, std::string_view version, std::string_view host_name) {
  const HeaderQuery query = HTTPQueryHeaderInfo(*block, "Via:");
  std::string field;
  if (query.result == kFieldFound) {
    RemoveHeaderField(block, "Via:");
    field.append("Via:").append(query.value).append(", ");
  } else if (query.result == kFieldNotFound) {
    field.append("Via: ");
  } else {
    return 0;
  }
  field.append(version).append(" ").append(host_name).append(" ").append(kViaProduct);
  return AddHeaderField(block, field);
}

bool IsKnownMethod(std::string_view method) {
  return std::find(kMethodTable.begin(), kMethodTable.end(), method) != kMethodTable.end();
}

int64_t AtoI(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t value = 0;
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return negative ? -value : value;
}

int64_t GetContentLength(std::string_view text) {
  const HeaderQuery query = HTTPQueryHeaderInfo(text, "Content-Length:");
  if (query.result != kFieldFound) {
    return -1;
  }
  return AtoI(query.value);
}

bool HasTransferEncoding(std::string_view text) {
  return HTTPQueryHeaderInfo(text, "Transfer-Encoding:").result == kFieldFound;
}

std::optional<std::string> ReadFirstLine(std::string* block) {
  const size_t lf = block->find('\n');
  if (lf == std::string::npos) {
    return std::nullopt;
  }
  std::string line = block->substr(0, ContentEnd(*block, lf));
  block->erase(0, lf + 1);
  return line;
}

std::string FirstWord(std::string_view text, size_t limit) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) {
    ++i;
  }
  size_t end = i;
  while (end < text.size() && !IsSpace(text[end]) && end - i < limit) {
    ++end;
  }
  return std::string(text.substr(i, end - i));
}

}  // namespace qlm::http
