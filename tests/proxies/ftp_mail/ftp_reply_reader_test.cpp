// The reply reader: single- and multi-line replies, their class and kept
// line, the line limit, and the same outcome however the bytes are split.
#include "proxies/ftp_mail/ftp_reply_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace qlm::ftp {
namespace {

struct Outcome {
  ParseStatus status = ParseStatus::kNeedMore;
  size_t used = 0;
  int reply_class = -1;
  std::string last_line;
  bool operator==(const Outcome&) const = default;
};

// Feeds `bytes` in pieces: the first `cut` bytes, then the rest.
Outcome FeedSplit(const std::string& bytes, size_t cut) {
  CFtpReplyReader reader;
  Outcome outcome;
  size_t offset = 0;
  for (size_t piece : {cut, bytes.size() - cut}) {
    if (outcome.status != ParseStatus::kNeedMore) {
      break;
    }
    size_t used = 0;
    outcome.status = reader.Feed(bytes.data() + offset, piece, &used);
    EXPECT_LE(used, piece);
    offset += used;
    outcome.used += used;
  }
  if (outcome.status == ParseStatus::kDone) {
    outcome.reply_class = reader.ReplyClass();
    outcome.last_line = reader.LastLine();
  }
  return outcome;
}

Outcome FeedAtEveryOffset(const std::string& bytes) {
  const Outcome whole = FeedSplit(bytes, bytes.size());
  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    EXPECT_EQ(FeedSplit(bytes, cut), whole) << "cut at " << cut;
  }
  return whole;
}

TEST(FtpReplyReaderTest, SingleLineReplyIsDoneWithItsClass) {
  const Outcome outcome = FeedAtEveryOffset("331 Password required\r\n");
  EXPECT_EQ(outcome.status, ParseStatus::kDone);
  EXPECT_EQ(outcome.reply_class, 3);
  EXPECT_EQ(outcome.last_line, "331 Password required\r\n");
}

TEST(FtpReplyReaderTest, MultiLineGreetingIsReadToItsLastLine) {
  const std::string reply =
      "220-Welcome\r\n"
      "220-second line\r\n"
      " 220 not the end: no code at the start\r\n"
      "2200 not the end either\r\n"
      "220 ready\r\n";
  const Outcome outcome = FeedAtEveryOffset(reply + "331 next reply\r\n");
  EXPECT_EQ(outcome.status, ParseStatus::kDone);
  EXPECT_EQ(outcome.used, reply.size()) << "the next reply stays unread";
  EXPECT_EQ(outcome.reply_class, 2);
  EXPECT_EQ(outcome.last_line, "220 ready\r\n");
}

TEST(FtpReplyReaderTest, ShortLinesAndLinesWithoutDashAreSingleLine) {
  EXPECT_EQ(FeedAtEveryOffset("200\r\n").last_line, "200\r\n");
  EXPECT_EQ(FeedAtEveryOffset("25\n").reply_class, 2);
  EXPECT_EQ(FeedAtEveryOffset("x00 odd\r\n").reply_class, 0);
}

TEST(FtpReplyReaderTest, EmptyFirstLineIsInvalid) {
  EXPECT_EQ(FeedAtEveryOffset("\r\n220 ok\r\n").status, ParseStatus::kInvalid);
  EXPECT_EQ(FeedAtEveryOffset("\n").status, ParseStatus::kInvalid);
}

TEST(FtpReplyReaderTest, LineOf1023BytesPassesAnd1024IsInvalid) {
  const std::string fits = "200 " + std::string(1023 - 4 - 2, 'a') + "\r\n";
  ASSERT_EQ(fits.size(), 1023u);
  EXPECT_EQ(FeedSplit(fits, 500).status, ParseStatus::kDone);
  const std::string too_long = "200 " + std::string(1024 - 4 - 2, 'a') + "\r\n";
  EXPECT_EQ(FeedSplit(too_long, 700).status, ParseStatus::kInvalid);
}

TEST(FtpReplyReaderTest, IncompleteReplyNeedsMore) {
  CFtpReplyReader reader;
  size_t used = 0;
  EXPECT_EQ(reader.Feed("220-a\r\n220 b", 12, &used), ParseStatus::kNeedMore);
  EXPECT_EQ(used, 12u);
  EXPECT_EQ(reader.Wanted(), 1u);
  EXPECT_EQ(reader.Feed("\n", 1, &used), ParseStatus::kDone);
  EXPECT_EQ(reader.Wanted(), 0u);
}

TEST(FtpReplyReaderTest, LeadingNumberReadsLikeAtol) {
  EXPECT_EQ(LeadingNumber("220-x"), 220);
  EXPECT_EQ(LeadingNumber("  -5"), -5);
  EXPECT_EQ(LeadingNumber("abc"), 0);
  EXPECT_EQ(LeadingNumber(std::string(100, '9')), 1000000000L);
}

}  // namespace
}  // namespace qlm::ftp
