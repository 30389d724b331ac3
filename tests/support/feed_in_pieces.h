// Split invariance for any parser: a message must parse the same however the
// network cuts it. SameAtEverySplit runs the parser over the input whole, cut
// in two at every offset, and one byte at a time, and compares the outcomes;
// FeedPieces drives a Feed/Wanted parser (net/parse_status.h) over pieces.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "net/parse_status.h"

namespace qlm::test {

using Pieces = std::vector<std::string_view>;

// `run(pieces)` parses the pieces with a fresh parser and returns something
// comparable with == (the status, the parsed fields...).
template <class Run>
::testing::AssertionResult SameAtEverySplit(std::string_view input, Run run) {
  const auto whole = run(Pieces{input});
  for (size_t cut = 0; cut <= input.size(); ++cut) {
    if (!(run(Pieces{input.substr(0, cut), input.substr(cut)}) == whole)) {
      return ::testing::AssertionFailure() << "differs when cut at offset " << cut;
    }
  }
  Pieces bytes;
  for (size_t i = 0; i < input.size(); ++i) {
    bytes.push_back(input.substr(i, 1));
  }
  if (!(run(bytes) == whole)) {
    return ::testing::AssertionFailure() << "differs when fed one byte at a time";
  }
  return ::testing::AssertionSuccess();
}

// Feeds every piece to `parser` until it is done or invalid; the last status.
// A parser that takes nothing from a non-empty piece while it still needs
// more is stuck: that counts as invalid.
template <class Parser>
net::ParseStatus FeedPieces(Parser& parser, const Pieces& pieces) {
  net::ParseStatus status = net::ParseStatus::kNeedMore;
  for (std::string_view piece : pieces) {
    const auto* data = reinterpret_cast<const uint8_t*>(piece.data());
    size_t offset = 0;
    while (offset < piece.size()) {
      size_t used = 0;
      status = parser.Feed(data + offset, piece.size() - offset, &used);
      if (status != net::ParseStatus::kNeedMore) {
        return status;
      }
      if (used == 0) {
        return net::ParseStatus::kInvalid;
      }
      offset += used;
    }
  }
  return status;
}

}  // namespace qlm::test
