// The server's status line, parsed into version, status and reason and
// rebuilt from them for the client; and the chunk-size line of a chunked body.
// Pure.
//
//   status-line     = "HTTP/" 1*DIGIT "." 1*DIGIT SP status [SP reason]
//   chunk-size-line = 1*8HEXDIG [chunk-extension] CRLF     (RFC 9112 7.1)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qlm::http {

struct StatusLine {
  std::string version;  // first word, at most 15 characters
  int status = 0;
  std::string reason;   // empty when there is none
};

// nullopt: malformed (no blank, no "HTTP/%d.%d", nothing after the version,
// status not above 0).
std::optional<StatusLine> ParsingResponseLine(std::string_view line);
// "<version> <status> <reason>\r\n", or "<version> <status>\r\n" without reason.
std::string FormatStatusLine(const StatusLine& status);

// One chunk-size line: the last chunk (size 0), a chunk of `size` bytes, or a
// line without a usable size (no hex digits, or more than 8).
struct ChunkSizeLine {
  enum class Kind { kLast, kChunk, kInvalid } kind = Kind::kInvalid;
  uint64_t size = 0;
};
ChunkSizeLine ParseChunkSizeLine(std::string_view line);

}  // namespace qlm::http
