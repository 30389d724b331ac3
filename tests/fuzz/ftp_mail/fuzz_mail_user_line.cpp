// Fuzzes the e-mail proxy's line reader (the USER line and the server
// greeting) and the USER delimiter split: the input's first byte chooses the
// piece size and the delimiter, the rest is fed piece by piece; the line
// must not depend on the cuts, must fit its buffer and end in CR LF when done.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "proxies/ftp_mail/mail_line_reader.h"
#include "proxies/ftp_mail/mail_wire.h"

namespace {

using qlm::ftp::mail::CMailLineReader;
using qlm::net::ParseStatus;

struct Result {
  ParseStatus status = ParseStatus::kNeedMore;
  size_t used = 0;
  std::string line;
};

Result Read(const uint8_t* data, size_t size, size_t piece, size_t buffer) {
  Result result;
  CMailLineReader reader(buffer);
  while (result.used < size && result.status == ParseStatus::kNeedMore) {
    const size_t n = piece < size - result.used ? piece : size - result.used;
    size_t used = 0;
    result.status = reader.Feed(data + result.used, n, &used);
    if (used > n || (used == 0 && result.status == ParseStatus::kNeedMore)) {
      std::abort();
    }
    result.used += used;
  }
  result.line = reader.Line();
  if (result.line.size() >= buffer) {
    std::abort();  // the line must fit its buffer with the NUL
  }
  if (result.status == ParseStatus::kDone && !result.line.ends_with("\r\n")) {
    std::abort();
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const size_t piece = (data[0] % 16) + 1;
  const char delimiter = (data[0] & 0x80) != 0 ? '%' : '#';
  ++data;
  --size;
  for (size_t buffer : {qlm::ftp::mail::kUserLineSize, qlm::ftp::mail::kGreetingSize}) {
    const Result whole = Read(data, size, size == 0 ? 1 : size, buffer);
    const Result pieces = Read(data, size, piece, buffer);
    if (whole.status != pieces.status || whole.used != pieces.used || whole.line != pieces.line) {
      std::abort();
    }
    const auto split = qlm::ftp::mail::SplitUserLine(whole.line, delimiter);
    if (split.host && (split.line.size() > whole.line.size() + 2 ||
                       split.host->size() >= whole.line.size())) {
      std::abort();
    }
    qlm::ftp::mail::IsPositiveGreeting(whole.line);
  }
  return 0;
}
