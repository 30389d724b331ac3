// Fuzzes the typed command-line reader with Telnet negotiation and the USER
// user@host split: the input's first byte chooses the piece size, the rest is
// fed piece by piece, and line, answers and flags must not depend on it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "proxies/ftp_mail/ftp_arguments.h"
#include "proxies/ftp_mail/ftp_command_line.h"

namespace {

using qlm::ftp::CCommandLineReader;
using qlm::ftp::ParseStatus;
using qlm::ftp::TelnetFlags;

struct Result {
  ParseStatus status = ParseStatus::kNeedMore;
  size_t used = 0;
  std::string line;
  std::string output;
  TelnetFlags flags;
};

Result Read(const uint8_t* data, size_t size, size_t piece) {
  Result result;
  CCommandLineReader reader(qlm::ftp::kCommandLineSize, &result.flags);
  while (result.used < size && result.status == ParseStatus::kNeedMore) {
    const size_t n = piece < size - result.used ? piece : size - result.used;
    size_t used = 0;
    result.status = reader.Feed(data + result.used, n, &used);
    if (used > n) {
      std::abort();
    }
    result.used += used;
    result.output += reader.TakeOutput();
  }
  result.line = reader.Line();
  if (result.line.size() >= qlm::ftp::kCommandLineSize) {
    std::abort();  // the line must fit its buffer with the NUL
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const size_t piece = (data[0] % 16) + 1;
  ++data;
  --size;
  const Result whole = Read(data, size, size == 0 ? 1 : size);
  const Result pieces = Read(data, size, piece);
  if (whole.status != pieces.status || whole.used != pieces.used || whole.line != pieces.line ||
      whole.output != pieces.output || whole.flags.echo != pieces.flags.echo ||
      whole.flags.suppress_go_ahead != pieces.flags.suppress_go_ahead) {
    std::abort();
  }
  if (whole.status == ParseStatus::kDone) {
    const std::string command = whole.line.substr(0, whole.line.size() - 2);
    qlm::ftp::SplitUserAtHost(command);
    qlm::ftp::ParseHostPort(command.size() > 4 ? command.substr(4) : std::string());
  }
  return 0;
}
