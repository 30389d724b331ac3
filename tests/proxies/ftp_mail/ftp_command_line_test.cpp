// The typed command line: editing keys, line ends, Telnet answers and the
// echo, the line limit, and the same outcome however the bytes are split.
#include "proxies/ftp_mail/ftp_command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace qlm::ftp {
namespace {

struct Outcome {
  ParseStatus status = ParseStatus::kNeedMore;
  size_t used = 0;
  std::string line;
  std::string output;
  bool echo = false;
  bool suppress_go_ahead = true;
  bool operator==(const Outcome&) const = default;
};

Outcome FeedSplit(const std::string& bytes, size_t cut, TelnetFlags flags = {},
                  size_t size = kCommandLineSize) {
  CCommandLineReader reader(size, &flags);
  Outcome outcome;
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  size_t offset = 0;
  for (size_t piece : {cut, bytes.size() - cut}) {
    if (outcome.status != ParseStatus::kNeedMore) {
      break;
    }
    size_t used = 0;
    outcome.status = reader.Feed(data + offset, piece, &used);
    offset += used;
    outcome.used += used;
    outcome.output += reader.TakeOutput();
  }
  outcome.line = reader.Line();
  outcome.echo = flags.echo;
  outcome.suppress_go_ahead = flags.suppress_go_ahead;
  return outcome;
}

Outcome FeedAtEveryOffset(const std::string& bytes, TelnetFlags flags = {}) {
  const Outcome whole = FeedSplit(bytes, bytes.size(), flags);
  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    EXPECT_EQ(FeedSplit(bytes, cut, flags), whole) << "cut at " << cut;
  }
  return whole;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) {
    out.push_back(static_cast<char>(v));
  }
  return out;
}

TEST(CommandLineReaderTest, BackspaceRemovesTheLastCharacter) {
  // a, b, BS, c, CR, LF
  const Outcome outcome = FeedAtEveryOffset(Bytes({'a', 'b', 8, 'c', 13, 10}));
  EXPECT_EQ(outcome.status, ParseStatus::kDone);
  EXPECT_EQ(outcome.line, "ac\r\n");
  EXPECT_EQ(outcome.output, "") << "no echo until the client asks for it";
}

TEST(CommandLineReaderTest, DeleteAndBackspaceOnAnEmptyLineDoNothing) {
  EXPECT_EQ(FeedAtEveryOffset(Bytes({127, 8, 'x', 127, 'y', 13, 10})).line, "y\r\n");
}

TEST(CommandLineReaderTest, CrNulEndsTheLineAndLoneLfOrNulDoNot) {
  EXPECT_EQ(FeedAtEveryOffset(Bytes({'a', 13, 0, 'b'})).line, Bytes({'a', 13, 0}));
  const Outcome lone = FeedAtEveryOffset(Bytes({'a', 10, 0, 'b', 13, 13, 10, 'z'}));
  EXPECT_EQ(lone.line, Bytes({'a', 10, 0, 'b', 13, 13, 10}));
  EXPECT_EQ(lone.used, 7u) << "nothing after the line end is taken";
}

TEST(CommandLineReaderTest, LineWithoutEndNeedsMore) {
  TelnetFlags flags;
  CCommandLineReader reader(kCommandLineSize, &flags);
  size_t used = 0;
  const uint8_t text[] = {'U', 'S', 'E', 'R', 13};
  EXPECT_EQ(reader.Feed(text, sizeof(text), &used), ParseStatus::kNeedMore);
  EXPECT_EQ(reader.Wanted(), 1u);
}

TEST(CommandLineReaderTest, DoEchoTurnsEchoOnAndTypedBytesComeBack) {
  // IAC DO ECHO, then "hi" CR LF.
  const Outcome outcome = FeedAtEveryOffset(Bytes({255, 253, 1, 'h', 'i', 13, 10}));
  EXPECT_TRUE(outcome.echo);
  EXPECT_EQ(outcome.output, Bytes({255, 251, 1, 'h', 'i', 13, 10}));  // IAC WILL ECHO, echo
  EXPECT_EQ(outcome.line, "hi\r\n");
}

TEST(CommandLineReaderTest, DoEchoWhenOnAndDontEchoWhenOffAnswerNothing) {
  TelnetFlags on;
  on.echo = true;
  EXPECT_EQ(FeedAtEveryOffset(Bytes({255, 253, 1, 13, 10}), on).output, Bytes({13, 10}));
  EXPECT_EQ(FeedAtEveryOffset(Bytes({255, 254, 1, 13, 10})).output, "");
}

TEST(CommandLineReaderTest, DontEchoTurnsItOff) {
  TelnetFlags on;
  on.echo = true;
  const Outcome outcome = FeedAtEveryOffset(Bytes({255, 254, 1, 'x', 13, 10}), on);
  EXPECT_FALSE(outcome.echo);
  EXPECT_EQ(outcome.output, Bytes({255, 252, 1}));  // IAC WONT ECHO, then no echo
}

TEST(CommandLineReaderTest, SuppressGoAheadIsOnAtStartAndFollowsDoAndDont) {
  EXPECT_EQ(FeedAtEveryOffset(Bytes({255, 253, 3, 13, 10})).output, "");
  const Outcome off = FeedAtEveryOffset(Bytes({255, 254, 3, 255, 253, 3, 13, 10}));
  EXPECT_EQ(off.output, Bytes({255, 252, 3, 255, 251, 3}));  // WONT SGA, WILL SGA
  EXPECT_TRUE(off.suppress_go_ahead);
}

TEST(CommandLineReaderTest, DoOtherOptionIsAnsweredWontAndWillWithDont) {
  EXPECT_EQ(FeedAtEveryOffset(Bytes({255, 253, 24, 13, 10})).output, Bytes({255, 252, 24}));
  EXPECT_EQ(FeedAtEveryOffset(Bytes({255, 251, 31, 13, 10})).output, Bytes({255, 254, 31}));
  EXPECT_EQ(FeedAtEveryOffset(Bytes({255, 252, 31, 13, 10})).output, "");
}

TEST(CommandLineReaderTest, SubnegotiationAndOtherCommandsAreDropped) {
  // IAC SB 24 0 'x' IAC SE, IAC NOP, then "ok" CR LF.
  const Outcome outcome =
      FeedAtEveryOffset(Bytes({255, 250, 24, 0, 'x', 255, 240, 255, 241, 'o', 'k', 13, 10}));
  EXPECT_EQ(outcome.line, "ok\r\n");
  EXPECT_EQ(outcome.output, "");
}

TEST(CommandLineReaderTest, InTelnetCommandUntilItsLastByte) {
  TelnetFlags flags;
  CCommandLineReader reader(kCommandLineSize, &flags);
  size_t used = 0;
  const uint8_t iac_do[] = {255, 253};
  reader.Feed(iac_do, 2, &used);
  EXPECT_TRUE(reader.InTelnetCommand());
  const uint8_t option = 1;
  reader.Feed(&option, 1, &used);
  EXPECT_FALSE(reader.InTelnetCommand());
}

TEST(CommandLineReaderTest, OverlongLineKeepsItsStartAndItsLineEnd) {
  const std::string typed = std::string(600, 'a') + "XYZ\r\n";
  const Outcome outcome = FeedSplit(typed, 300);
  EXPECT_EQ(outcome.status, ParseStatus::kDone);
  ASSERT_EQ(outcome.line.size(), kCommandLineSize - 1);
  EXPECT_EQ(outcome.line, std::string(508, 'a') + "Z\r\n") << "later bytes overwrite the last place";
}

TEST(CommandLineReaderTest, LineOfExactlyTheRoomIsKeptWhole) {
  const std::string typed = std::string(kCommandLineSize - 3, 'b') + "\r\n";
  EXPECT_EQ(FeedSplit(typed, 10).line, typed);
}

}  // namespace
}  // namespace qlm::ftp
