// The RealAudio dialog frame parser and status frame builder: every frame of
// the dialog, split at every offset, and the limits.
#include "proxies/circuit/realaudio_parse.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "tests/support/feed_in_pieces.h"

namespace qlm::circuit {
namespace {

using qlm::test::FeedPieces;
using qlm::test::Pieces;
using qlm::test::SameAtEverySplit;

std::string Text(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) {
    s.push_back(static_cast<char>(b));
  }
  return s;
}

// Status, opcode and value of one parse, comparable across splits.
std::tuple<ParseStatus, uint8_t, std::string> Parse(const Pieces& pieces) {
  CRealAudioFrameParser parser;
  const ParseStatus status = FeedPieces(parser, pieces);
  return {status, parser.opcode(), parser.value()};
}

TEST(RealAudioFrameParserTest, VersionFrame) {
  const std::string frame = Text({0x00, 0x02,  // L = 2
                                  0x01,        // opcode 1: version
                                  0x01});      // version 1
  EXPECT_EQ(Parse({frame}), std::make_tuple(ParseStatus::kDone, uint8_t{1}, Text({1})));
  EXPECT_TRUE(SameAtEverySplit(frame, Parse));
}

TEST(RealAudioFrameParserTest, HostPortKeptTcpOnlyAndEndFrames) {
  const std::string host = Text({0x00, 0x0A, 0x02}) + "127.0.0.1";     // opcode 2, 9 bytes
  const std::string port = Text({0x00, 0x03, 0x03, 0x1C, 0x4D});      // opcode 3: 7245
  const std::string kept = Text({0x00, 0x03, 0x04, 0x12, 0x34});      // opcode 4
  const std::string tcp_only = Text({0x00, 0x02, 0x05, 0x01});        // opcode 5: TCP only
  const std::string end = Text({0x00, 0x01, 0x00});                   // opcode 0, no value
  EXPECT_EQ(Parse({host}), std::make_tuple(ParseStatus::kDone, uint8_t{2}, std::string("127.0.0.1")));
  EXPECT_EQ(Parse({port}), std::make_tuple(ParseStatus::kDone, uint8_t{3}, Text({0x1C, 0x4D})));
  EXPECT_EQ(Parse({kept}), std::make_tuple(ParseStatus::kDone, uint8_t{4}, Text({0x12, 0x34})));
  EXPECT_EQ(Parse({tcp_only}), std::make_tuple(ParseStatus::kDone, uint8_t{5}, Text({1})));
  EXPECT_EQ(Parse({end}), std::make_tuple(ParseStatus::kDone, uint8_t{0}, std::string()));
  for (const std::string& frame : {host, port, kept, tcp_only, end}) {
    EXPECT_TRUE(SameAtEverySplit(frame, Parse));
  }
}

TEST(RealAudioFrameParserTest, StopsAtTheEndOfTheFrame) {
  const std::string two = Text({0x00, 0x02, 0x05, 0x00, 0x00, 0x01, 0x00});
  CRealAudioFrameParser parser;
  size_t used = 0;
  EXPECT_EQ(parser.Feed(reinterpret_cast<const uint8_t*>(two.data()), two.size(), &used),
            ParseStatus::kDone);
  EXPECT_EQ(used, 4u);
  EXPECT_EQ(parser.Wanted(), 0u);
}

TEST(RealAudioFrameParserTest, WantedFollowsTheLayout) {
  CRealAudioFrameParser parser;
  EXPECT_EQ(parser.Wanted(), 2u);
  const std::string head = Text({0x00, 0x05});
  size_t used = 0;
  parser.Feed(reinterpret_cast<const uint8_t*>(head.data()), 2, &used);
  EXPECT_EQ(parser.Wanted(), 1u);
  const uint8_t opcode = kOpHost;
  parser.Feed(&opcode, 1, &used);
  EXPECT_EQ(parser.Wanted(), 4u);
}

TEST(RealAudioFrameParserTest, LengthZeroHasNoOpcodeAndIsInvalid) {
  const std::string frame = Text({0x00, 0x00});
  EXPECT_EQ(std::get<0>(Parse({frame})), ParseStatus::kInvalid);
  EXPECT_TRUE(SameAtEverySplit(frame, Parse));
}

TEST(RealAudioFrameParserTest, ValueOfTheLimitIsTakenOneMoreIsInvalid) {
  const std::string at_limit = Text({0x01, 0x00, 0x02}) + std::string(kFrameValueMax, 'h');
  EXPECT_EQ(kFrameValueMax, 255u);
  EXPECT_EQ(std::get<0>(Parse({at_limit})), ParseStatus::kDone);
  EXPECT_EQ(std::get<2>(Parse({at_limit})).size(), kFrameValueMax);
  const std::string over = Text({0x01, 0x01, 0x02}) + std::string(kFrameValueMax + 1, 'h');
  EXPECT_EQ(Parse({over}), std::make_tuple(ParseStatus::kInvalid, uint8_t{2}, std::string()));
  EXPECT_TRUE(SameAtEverySplit(over, Parse));
  // The largest length a frame can carry is refused without reading the value.
  EXPECT_EQ(std::get<0>(Parse({Text({0xFF, 0xFF, 0x09})})), ParseStatus::kInvalid);
}

TEST(RealAudioFrameParserTest, OpcodesOfTheSetUp) {
  EXPECT_TRUE(IsSetupOpcode(kOpEnd));
  EXPECT_TRUE(IsSetupOpcode(kOpHost));
  EXPECT_TRUE(IsSetupOpcode(kOpPort));
  EXPECT_TRUE(IsSetupOpcode(kOpKept));
  EXPECT_TRUE(IsSetupOpcode(kOpTcpOnly));
  EXPECT_FALSE(IsSetupOpcode(kOpVersion));
  EXPECT_FALSE(IsSetupOpcode(kOpStatus));
  EXPECT_FALSE(IsSetupOpcode(9));
  EXPECT_EQ(RequiredValueSize(kOpPort), 2u);
  EXPECT_EQ(RequiredValueSize(kOpKept), 2u);
  EXPECT_EQ(RequiredValueSize(kOpTcpOnly), 1u);
}

TEST(RealAudioStatusFrameTest, SuccessFrameBytes) {
  const std::vector<uint8_t> frame = BuildStatusFrame(0, "Success to connect to remote server");
  const std::string expected =
      Text({0x00, 37,  // L = 35 + 2
            0x06,      // opcode 6: status
            0x00})     // code 0
      + "Success to connect to remote server";
  EXPECT_EQ(std::string(frame.begin(), frame.end()), expected);
}

TEST(RealAudioStatusFrameTest, LongTextIsCutSoThatLengthIs64) {
  const std::string text(100, 'x');
  const std::vector<uint8_t> frame = BuildStatusFrame(1, text);
  ASSERT_EQ(frame.size(), 66u);
  EXPECT_EQ(frame[0], 0x00);
  EXPECT_EQ(frame[1], 64);
  EXPECT_EQ(frame[2], 6);
  EXPECT_EQ(frame[3], 1);
  // The 62-character text fits exactly; 63 is cut to 62.
  EXPECT_EQ(BuildStatusFrame(3, std::string(62, 'y')).size(), 66u);
  EXPECT_EQ(BuildStatusFrame(3, std::string(63, 'y')).size(), 66u);
}

TEST(RealAudioStatusFrameTest, BadVersionTextIsCutAtSixtyTwoCharacters) {
  // "Bad Version, the RealAudio Proxy version number does not match" is 62.
  const std::vector<uint8_t> frame = BuildStatusFrame(3, kStatusTextBadVersion);
  EXPECT_EQ(std::string(frame.begin() + 4, frame.end()),
            "Bad Version, the RealAudio Proxy version number does not match");
}

TEST(RealAudioWireTest, TextsAsTheyStand) {
  EXPECT_STREQ(kErrSuffix, " in RealAudio connection, connection closed");
  EXPECT_STREQ(kStatusTextNoConnect, "No Connect, could not connect to RealAudio Server");
  EXPECT_STREQ(kStatusTextInvalidOpcode, "Invalid Opcode was received in the proxy dialog");
  EXPECT_STREQ(kStatusTextBadInformation, "Bad Information was received in the proxy dialog");
  EXPECT_STREQ(kTextLimited, "RealAudioThreadProc:Limited by maximum connections.");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(kVersionFrame), sizeof(kVersionFrame)),
            Text({0x00, 0x02, 0x01, 0x01}));
}

}  // namespace
}  // namespace qlm::circuit
