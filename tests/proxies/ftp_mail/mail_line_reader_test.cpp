// The e-mail proxy's line reader and USER line split, fed in every cut.
#include "proxies/ftp_mail/mail_line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "proxies/ftp_mail/mail_wire.h"
#include "tests/support/feed_in_pieces.h"

namespace qlm::ftp::mail {
namespace {

using net::ParseStatus;
using qlm::test::Pieces;

std::pair<ParseStatus, std::string> Read(const Pieces& pieces, size_t size = kUserLineSize) {
  CMailLineReader reader(size);
  const ParseStatus status = qlm::test::FeedPieces(reader, pieces);
  return {status, reader.Line()};
}

TEST(CMailLineReaderTest, UserLineParsesTheSameAtEveryCut) {
  const std::string input = "USER alice#pop.example.org\r\n";
  EXPECT_EQ(Read({input}), std::make_pair(ParseStatus::kDone, input));
  EXPECT_TRUE(qlm::test::SameAtEverySplit(input, [](const Pieces& p) { return Read(p); }));
}

TEST(CMailLineReaderTest, TakesNothingAfterTheLineEnd) {
  CMailLineReader reader(kUserLineSize);
  const std::string input = "USER bob\r\nPASS x\r\n";
  size_t used = 0;
  EXPECT_EQ(reader.Feed(reinterpret_cast<const uint8_t*>(input.data()), input.size(), &used),
            ParseStatus::kDone);
  EXPECT_EQ(used, 10u);
  EXPECT_EQ(reader.Wanted(), 0u);
}

TEST(CMailLineReaderTest, CrWithoutLfIsTextAndLfAloneEndsNothing) {
  const std::string input = "a\rb\nc\r\r\n";
  EXPECT_EQ(Read({input}), std::make_pair(ParseStatus::kDone, input));
}

TEST(CMailLineReaderTest, LineOfTheLimitIsKeptWhole) {
  // 253 text bytes and CR LF fill the 256-byte buffer with its NUL.
  const std::string input = std::string(253, 'u') + "\r\n";
  EXPECT_EQ(Read({input}), std::make_pair(ParseStatus::kDone, input));
}

TEST(CMailLineReaderTest, LineOneByteOverTheLimitIsCutAndStillEnds) {
  const std::string input = std::string(253, 'u') + "X\r\n";
  const auto [status, line] = Read({input});
  EXPECT_EQ(status, ParseStatus::kDone);
  EXPECT_EQ(line, std::string(252, 'u') + "X\r\n");
  EXPECT_EQ(line.size(), kUserLineSize - 1);
}

TEST(CMailLineReaderTest, EndlessLineNeverGrows) {
  CMailLineReader reader(kUserLineSize);
  const std::string chunk(4096, 'z');
  for (int i = 0; i < 64; ++i) {
    size_t used = 0;
    EXPECT_EQ(reader.Feed(reinterpret_cast<const uint8_t*>(chunk.data()), chunk.size(), &used),
              ParseStatus::kNeedMore);
  }
  EXPECT_LE(reader.Line().size(), kUserLineSize - 1);
}

TEST(CMailLineReaderTest, LineCutShortKeepsWhatArrived) {
  EXPECT_EQ(Read({"USER al\r"}), std::make_pair(ParseStatus::kNeedMore, std::string("USER al\r")));
}

TEST(SplitUserLineTest, DelimiterNamesTheServer) {
  const UserLineSplit split = SplitUserLine("USER alice#pop.example.org\r\n", '#');
  EXPECT_EQ(split.line, "USER alice\r\n");
  ASSERT_TRUE(split.host.has_value());
  EXPECT_EQ(*split.host, "pop.example.org");
}

TEST(SplitUserLineTest, WithoutDelimiterTheLineStaysUnchanged) {
  const UserLineSplit split = SplitUserLine("USER alice\r\n", '#');
  EXPECT_EQ(split.line, "USER alice\r\n");
  EXPECT_FALSE(split.host.has_value());
}

TEST(SplitUserLineTest, FirstDelimiterCountsAndTrailingBlanksGo) {
  const UserLineSplit split = SplitUserLine("USER a%b%host  \t\r\n", '%');
  EXPECT_EQ(split.line, "USER a\r\n");
  EXPECT_EQ(*split.host, "b%host");
}

TEST(SplitUserLineTest, NothingAfterTheDelimiterGivesAnEmptyServer) {
  const UserLineSplit split = SplitUserLine("USER a#\r\n", '#');
  EXPECT_EQ(*split.host, "");
}

TEST(IsPositiveGreetingTest, OnlyPlusOkAtTheStart) {
  EXPECT_TRUE(IsPositiveGreeting("+OK POP3 ready\r\n"));
  EXPECT_FALSE(IsPositiveGreeting("-ERR busy\r\n"));
  EXPECT_FALSE(IsPositiveGreeting(" +OK\r\n"));
  EXPECT_FALSE(IsPositiveGreeting(""));
}

}  // namespace
}  // namespace qlm::ftp::mail
