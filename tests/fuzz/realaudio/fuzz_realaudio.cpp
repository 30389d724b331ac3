// Fuzzes the RealAudio dialog frame parser: the input's first byte chooses
// where it is cut into pieces, the rest is fed frame after frame, whole and
// piece by piece, and the frames, the bytes used and the limits must not
// depend on the cut. The status frame builder gets the same bytes as text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "proxies/circuit/realaudio_parse.h"

namespace {

using qlm::circuit::CRealAudioFrameParser;
using qlm::circuit::ParseStatus;

struct Outcome {
  ParseStatus status = ParseStatus::kNeedMore;
  uint8_t opcode = 0;
  std::string value;
  size_t used = 0;
  bool operator==(const Outcome&) const = default;
};

// Frames one after the other until the input ends or one is invalid.
std::vector<Outcome> FeedFrames(const uint8_t* data, size_t size, size_t piece) {
  std::vector<Outcome> frames;
  size_t offset = 0;
  while (offset < size) {
    CRealAudioFrameParser parser;
    Outcome outcome;
    while (offset < size && outcome.status == ParseStatus::kNeedMore) {
      const size_t n = piece < size - offset ? piece : size - offset;
      size_t used = 0;
      outcome.status = parser.Feed(data + offset, n, &used);
      if (used > n || (outcome.status == ParseStatus::kNeedMore && used != n)) {
        std::abort();
      }
      if (outcome.status == ParseStatus::kNeedMore && parser.Wanted() == 0) {
        std::abort();  // waiting for nothing would stall the session
      }
      offset += used;
      outcome.used += used;
    }
    if (parser.value_size() > qlm::circuit::kFrameValueMax) {
      std::abort();
    }
    outcome.opcode = parser.opcode();
    outcome.value = parser.value();
    frames.push_back(outcome);
    if (outcome.status == ParseStatus::kInvalid) {
      break;
    }
  }
  return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const size_t piece = (data[0] % 16) + 1;
  ++data;
  --size;
  if (FeedFrames(data, size, size == 0 ? 1 : size) != FeedFrames(data, size, piece)) {
    std::abort();
  }
  const std::vector<uint8_t> status = qlm::circuit::BuildStatusFrame(
      size > 0 ? data[0] : 0, std::string_view(reinterpret_cast<const char*>(data), size));
  if (status.size() > qlm::circuit::kStatusFrameMax || status[2] != qlm::circuit::kOpStatus) {
    std::abort();
  }
  return 0;
}
