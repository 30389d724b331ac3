// Fuzzes the Telnet proxy's host line: the bytes a user's client sends
// (option negotiation, editing keys, text) go through the command-line reader
// in pieces chosen by the first byte, then the line goes to the host-line
// parser. The outcome must not depend on the cuts; a host never exceeds its
// limit and a port given is never 0.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "proxies/circuit/telnet_host_line.h"
#include "proxies/circuit/telnet_wire.h"
#include "proxies/ftp_mail/ftp_command_line.h"

namespace {

using qlm::circuit::TelnetHostLine;
using qlm::ftp::CCommandLineReader;
using qlm::ftp::ParseStatus;
using qlm::ftp::TelnetFlags;

struct Result {
  ParseStatus status = ParseStatus::kNeedMore;
  size_t used = 0;
  std::string output;
  std::optional<TelnetHostLine> target;
};

Result Read(const uint8_t* data, size_t size, size_t piece) {
  Result result;
  TelnetFlags flags;
  CCommandLineReader reader(qlm::circuit::kTelnetLineSize, &flags);
  while (result.used < size && result.status == ParseStatus::kNeedMore) {
    const size_t n = piece < size - result.used ? piece : size - result.used;
    size_t used = 0;
    result.status = reader.Feed(data + result.used, n, &used);
    result.used += used;
    result.output += reader.TakeOutput();
  }
  if (result.status == ParseStatus::kDone) {
    std::string line = reader.Line();
    line.resize(line.size() - 2);
    result.target = qlm::circuit::ParseTelnetHostLine(line);
    if (result.target && (result.target->host.size() > qlm::circuit::kTelnetHostMax ||
                          result.target->port == 0)) {
      std::abort();
    }
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
  if (whole.status != pieces.status || whole.used != pieces.used ||
      whole.output != pieces.output || whole.target != pieces.target) {
    std::abort();
  }
  return 0;
}
