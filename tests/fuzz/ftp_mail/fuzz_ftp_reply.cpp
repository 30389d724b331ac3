// Fuzzes the FTP reply reader and the PORT/PASV number parser: the input's
// first byte chooses where it is cut into pieces, the rest is fed piece by
// piece, and the outcome must not depend on the cut.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "proxies/ftp_mail/ftp_arguments.h"
#include "proxies/ftp_mail/ftp_reply_reader.h"

namespace {

using qlm::ftp::CFtpReplyReader;
using qlm::ftp::ParseStatus;

ParseStatus FeedInPieces(CFtpReplyReader& reader, const char* data, size_t size, size_t piece,
                         size_t* consumed) {
  ParseStatus status = ParseStatus::kNeedMore;
  *consumed = 0;
  while (*consumed < size && status == ParseStatus::kNeedMore) {
    const size_t n = piece < size - *consumed ? piece : size - *consumed;
    size_t used = 0;
    status = reader.Feed(data + *consumed, n, &used);
    if (used > n || (status == ParseStatus::kNeedMore && used != n)) {
      std::abort();
    }
    *consumed += used;
  }
  if (status == ParseStatus::kNeedMore && reader.Wanted() == 0) {
    std::abort();  // waiting for nothing would stall the connection
  }
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const size_t piece = (data[0] % 16) + 1;
  const char* text = reinterpret_cast<const char*>(data + 1);
  --size;
  CFtpReplyReader whole;
  CFtpReplyReader pieces;
  size_t whole_used = 0;
  size_t pieces_used = 0;
  const ParseStatus a = FeedInPieces(whole, text, size, size == 0 ? 1 : size, &whole_used);
  const ParseStatus b = FeedInPieces(pieces, text, size, piece, &pieces_used);
  if (a != b || whole_used != pieces_used) {
    std::abort();
  }
  if (a == ParseStatus::kDone &&
      (whole.ReplyClass() != pieces.ReplyClass() || whole.LastLine() != pieces.LastLine() ||
       whole.LastLine().size() >= qlm::ftp::kReplyLineSize)) {
    std::abort();
  }
  const std::string line(text, size);
  if (const auto part = qlm::ftp::ParenthesisedPart(line)) {
    qlm::ftp::ParseHostPort(*part);
  }
  qlm::ftp::ParseHostPort(line);
  return 0;
}
