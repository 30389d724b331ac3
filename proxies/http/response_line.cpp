// Status-line and chunk-size-line parsing.
#include "proxies/http/response_line.h"

#include <algorithm>

#include "proxies/http/header_fields.h"
#include "proxies/http/http_wire.h"

namespace qlm::http {
namespace {

// Reads 1*DIGIT at *pos; false without digits.
bool ScanNumber(std::string_view text, size_t* pos) {
  const size_t start = *pos;
  while (*pos < text.size() && text[*pos] >= '0' && text[*pos] <= '9') {
    ++*pos;
  }
  return *pos > start;
}

bool IsHttpVersion(std::string_view word) {
  if (word.substr(0, 5) != "HTTP/") {
    return false;
  }
  size_t pos = 5;
  if (!ScanNumber(word, &pos) || pos >= word.size() || word[pos] != '.') {
    return false;
  }
  ++pos;
  return ScanNumber(word, &pos);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<StatusLine> ParsingResponseLine(std::string_view line) {
  const size_t blank = line.find(' ');
  if (blank == std::string_view::npos) {
    return std::nullopt;
  }
  const std::string_view version = line.substr(0, blank);
  if (!IsHttpVersion(version)) {
    return std::nullopt;
  }
  const std::string_view rest = line.substr(blank + 1);
  if (rest.find_first_not_of(' ') == std::string_view::npos) {
    return std::nullopt;
  }
  StatusLine status;
  status.version.assign(version.substr(0, std::min(version.size(), kShortTextLimit)));
  const size_t next = rest.find(' ');
  const int64_t code = AtoI(rest.substr(0, next));
  if (code <= 0 || code > 999999) {
    return std::nullopt;
  }
  status.status = static_cast<int>(code);
  if (next != std::string_view::npos) {
    status.reason.assign(rest.substr(next + 1));
  }
  return status;
}

std::string FormatStatusLine(const StatusLine& status) {
  std::string line = status.version + " " + std::to_string(status.status);
  if (!status.reason.empty()) {
    line.append(" ").append(status.reason);
  }
  line.append("\r\n");
  return line;
}

ChunkSizeLine ParseChunkSizeLine(std::string_view line) {
  ChunkSizeLine chunk;
  size_t digits = 0;
  uint64_t size = 0;
  while (digits < line.size() && HexValue(line[digits]) >= 0) {
    if (digits == 8) {
      return chunk;  // more than 8 digits: invalid
    }
    size = size * 16 + static_cast<uint64_t>(HexValue(line[digits]));
    ++digits;
  }
  if (digits == 0) {
    return chunk;
  }
  chunk.size = size;
  chunk.kind = size == 0 ? ChunkSizeLine::Kind::kLast : ChunkSizeLine::Kind::kChunk;
  return chunk;
}

}  // namespace qlm::http
