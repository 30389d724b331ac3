// Fuzzes the SOCKS handshake parsers and the UDP header: the input's first
// byte chooses where it is cut into pieces, the rest is fed to every parser
// piece by piece, and the results must not depend on the cut.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "proxies/socks/socks_parse.h"

namespace {

using qlm::socks::ParseStatus;

template <typename Parser>
ParseStatus FeedInPieces(Parser& parser, const uint8_t* data, size_t size, size_t piece,
                         size_t* consumed) {
  ParseStatus status = ParseStatus::kNeedMore;
  *consumed = 0;
  while (*consumed < size && status == ParseStatus::kNeedMore) {
    const size_t n = piece < size - *consumed ? piece : size - *consumed;
    size_t used = 0;
    status = parser.Feed(data + *consumed, n, &used);
    if (used > n) {
      std::abort();
    }
    *consumed += used;
    if (status == ParseStatus::kNeedMore && parser.Wanted() == 0) {
      std::abort();  // waiting for nothing would stall the session
    }
  }
  return status;
}

template <typename Parser>
void Compare(const uint8_t* data, size_t size, size_t piece) {
  Parser whole;
  Parser pieces;
  size_t whole_used = 0;
  size_t pieces_used = 0;
  const ParseStatus a = FeedInPieces(whole, data, size, size == 0 ? 1 : size, &whole_used);
  const ParseStatus b = FeedInPieces(pieces, data, size, piece, &pieces_used);
  if (a != b || whole_used != pieces_used) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const size_t piece = (data[0] % 16) + 1;
  ++data;
  --size;
  Compare<qlm::socks::CSocks4RequestParser>(data, size, piece);
  Compare<qlm::socks::CSocks5MethodParser>(data, size, piece);
  Compare<qlm::socks::CSocks5RequestParser>(data, size, piece);

  qlm::socks::CSocks4RequestParser socks4;
  size_t used = 0;
  if (FeedInPieces(socks4, data, size, piece, &used) == ParseStatus::kDone &&
      socks4.user().size() > qlm::socks::kUserNameMax) {
    std::abort();
  }
  qlm::socks::UdpHeader header;
  if (qlm::socks::ParseUdpHeader(data, size, &header) == ParseStatus::kDone &&
      header.header_size > size) {
    std::abort();
  }
  if (size <= qlm::socks::kWrongVersionSample) {
    const std::string dump = qlm::socks::WrongVersionDump(0xFF, data, size);
    if (dump.size() > qlm::socks::kWrongVersionDumpMax) {
      std::abort();
    }
  }
  return 0;
}
