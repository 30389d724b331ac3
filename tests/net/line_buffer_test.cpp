// The shared line buffer with limits of the line protocols' own choosing.
#include "net/line_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/feed_in_pieces.h"

namespace qlm::net {
namespace {

// Lines taken from the pieces as they come, then the last scan's outcome.
struct Taken {
  std::vector<std::string> lines;
  CLineBuffer::Scan last = CLineBuffer::Scan::kNeedMore;
  bool operator==(const Taken&) const = default;
};

Taken TakeAll(const LineLimits& limits, const test::Pieces& pieces) {
  CLineBuffer buffer(limits);
  Taken taken;
  for (std::string_view piece : pieces) {
    size_t done = 0;
    while (done < piece.size()) {
      size_t room = 0;
      char* space = buffer.ReceiveSpace(&room);
      if (space == nullptr) {
        taken.last = CLineBuffer::Scan::kTooLong;
        return taken;
      }
      const size_t count = std::min(room, piece.size() - done);
      std::memcpy(space, piece.data() + done, count);
      buffer.Commit(count);
      done += count;
      std::string line;
      while ((taken.last = buffer.TakeLine(1024, &line)) == CLineBuffer::Scan::kLine) {
        taken.lines.push_back(line);
      }
      if (taken.last != CLineBuffer::Scan::kNeedMore) {
        return taken;
      }
    }
  }
  return taken;
}

bool IsNul(unsigned char byte) { return byte == 0; }

TEST(NetLineBufferTest, CommandLinesAreTheSameAtEverySplit) {
  const LineLimits limits{16, 8, 256, nullptr};
  EXPECT_TRUE(test::SameAtEverySplit("USER anne@ftp.example\r\nPASS x\r\nNOOP\r\n",
                                     [&](const test::Pieces& p) { return TakeAll(limits, p); }));
  const Taken taken = TakeAll(limits, {"USER a\r\nPA", "SS b\r\n"});
  EXPECT_EQ(taken.lines, (std::vector<std::string>{"USER a\r\n", "PASS b\r\n"}));
}

TEST(NetLineBufferTest, GrowsByItsStepUpToItsLimitAndNotOneByteMore) {
  const LineLimits limits{16, 8, 40, nullptr};
  EXPECT_EQ(TakeAll(limits, {std::string(39, 'a') + "\n"}).lines.size(), 1u);
  EXPECT_EQ(TakeAll(limits, {std::string(40, 'a') + "\n"}).last, CLineBuffer::Scan::kTooLong);
  CLineBuffer buffer(limits);
  size_t room = 0;
  ASSERT_NE(buffer.ReceiveSpace(&room), nullptr);
  EXPECT_EQ(room, 16u);
  buffer.Commit(16);
  ASSERT_NE(buffer.ReceiveSpace(&room), nullptr);
  EXPECT_EQ(buffer.Capacity(), 24u);
}

TEST(NetLineBufferTest, ByteRuleIsTheProtocolsOwn) {
  // Without a rule every byte may stand in a line (Telnet's control bytes).
  EXPECT_EQ(TakeAll({16, 8, 256, nullptr}, {std::string("a\x01\x7f" "b\n")}).lines.size(), 1u);
  EXPECT_EQ(TakeAll({16, 8, 256, &IsNul}, {std::string("ab\0c\n", 5)}).last,
            CLineBuffer::Scan::kUnsafe);
}

}  // namespace
}  // namespace qlm::net
