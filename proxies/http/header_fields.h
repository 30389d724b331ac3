// Operations on a header block: the text of a message head, start line and
// fields each with its line end, then the empty line. Look-up, insertion in
// front, removal, the Connection-named removals, Via, Content-Length and
// Transfer-Encoding. Pure: text in, text out.
//
// Line ends: a field line ends at LF, with or without a CR before it, exactly
// as the head reader accepts lines; so a head with bare-LF lines is seen the
// same way by the reader and by the field operations.
// Folded fields: a line that begins with SP or HT continues the field before
// it; look-up and removal treat the field with its continuation lines as one
// field, whose value runs to the end of the last continuation line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace qlm::http {

// Results of HTTPQueryHeaderInfo.
enum QueryResult : int {
  kFieldFound = 0,
  kFieldNotFound = 1,
  kFieldNoLineEnd = 2,
  kFieldValueTooLarge = 3,
};

struct HeaderQuery {
  int result = kFieldNotFound;
  std::string value;             // everything after the name, leading blanks kept
  size_t line_start = 0;         // offset of the matching line
  std::ptrdiff_t next_line_start = -1;  // offset of the following line; -1 at the text's end
};

inline constexpr size_t kNoValueLimit = std::numeric_limits<size_t>::max();

// Finds the first line whose start equals `name` (colon included) ignoring
// case; an empty name matches the first line. `value_capacity` is the room of
// the caller's value buffer: a value of that length or more gives
// kFieldValueTooLarge.
HeaderQuery HTTPQueryHeaderInfo(std::string_view text, std::string_view name,
                                size_t value_capacity = kNoValueLimit);

// Puts `field` + CRLF in front of every line of the block. Returns 1.
int AddHeaderField(std::string* block, std::string_view field);
// Removes the first line named `name`; the look-up's result (0: removed).
int RemoveHeaderField(std::string* text, std::string_view name);
// Removes, for each comma-separated piece of `list`, the first line named by
// the piece's first word. 1 when the list named at least one field, else 0.
int RemoveHeaderFields(std::string* text, std::string_view list);
// Adds this proxy to the Via field (in front of the block):
// "Via:" + old value + ", <version> <host> (Quillmar)", or a new
// "Via: <version> <host> (Quillmar)". 1 when the block changed.
int ProcessViaHeader(std::string* block, std::string_view version, std::string_view host_name);

bool IsKnownMethod(std::string_view method);
// The Content-Length value converted as atoi does; -1 when the field is absent.
int64_t GetContentLength(std::string_view text);
bool HasTransferEncoding(std::string_view text);

// Splits off the first line of the block (its CR before LF dropped) and
// returns it; nothing when the text has no LF.
std::optional<std::string> ReadFirstLine(std::string* block);

// atoi: leading white space, optional sign, digits up to the first other
// character; 0 without digits. Saturates instead of overflowing.
int64_t AtoI(std::string_view text);
// The first white-space-delimited word, at most `limit` characters.
std::string FirstWord(std::string_view text, size_t limit);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace qlm::http
