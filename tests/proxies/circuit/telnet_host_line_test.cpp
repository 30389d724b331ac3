// The Telnet proxy's host line, alone and as the command socket's reader
// takes it from bytes with option negotiation in them, cut at every offset.
#include "proxies/circuit/telnet_host_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "proxies/circuit/telnet_wire.h"
#include "proxies/ftp_mail/ftp_command_line.h"
#include "tests/support/feed_in_pieces.h"

namespace qlm::circuit {
namespace {

using qlm::test::Pieces;

TEST(TelnetHostLineTest, HostAndPort) {
  EXPECT_EQ(ParseTelnetHostLine("10.0.0.9 2323"), (TelnetHostLine{"10.0.0.9", 2323}));
}

TEST(TelnetHostLineTest, HostAloneGoesToPort23) {
  EXPECT_EQ(ParseTelnetHostLine("10.0.0.9"), (TelnetHostLine{"10.0.0.9", 23}));
}

TEST(TelnetHostLineTest, PortThatIsNotANumberIsBad) {
  EXPECT_EQ(ParseTelnetHostLine("10.0.0.9 two"), std::nullopt);
  EXPECT_EQ(ParseTelnetHostLine("10.0.0.9 23x"), std::nullopt);
  EXPECT_EQ(ParseTelnetHostLine("10.0.0.9 "), std::nullopt);
  EXPECT_EQ(ParseTelnetHostLine("10.0.0.9 -1"), std::nullopt);
}

TEST(TelnetHostLineTest, PortOutOfRangeIsBad) {
  EXPECT_EQ(ParseTelnetHostLine("h 0"), std::nullopt);
  EXPECT_EQ(ParseTelnetHostLine("h 65536"), std::nullopt);
  EXPECT_EQ(ParseTelnetHostLine("h 99999999999999999999"), std::nullopt);
  EXPECT_EQ(ParseTelnetHostLine("h 65535"), (TelnetHostLine{"h", 65535}));
}

TEST(TelnetHostLineTest, BlanksAroundThePortAreAllowed) {
  EXPECT_EQ(ParseTelnetHostLine("h   2323  "), (TelnetHostLine{"h", 2323}));
}

TEST(TelnetHostLineTest, EmptyLineGivesAnEmptyHost) {
  EXPECT_EQ(ParseTelnetHostLine(""), (TelnetHostLine{"", 23}));
}

TEST(TelnetHostLineTest, HostOfTheLimitIsKeptAndLongerIsCut) {
  const std::string limit(kTelnetHostMax, 'h');
  EXPECT_EQ(ParseTelnetHostLine(limit)->host, limit);
  EXPECT_EQ(ParseTelnetHostLine(limit + "X")->host, limit);
}

// What the session makes of the bytes: the reader's line (CR LF cut), the
// parse, and the bytes sent back.
std::pair<std::optional<TelnetHostLine>, std::string> Typed(const Pieces& pieces) {
  ftp::TelnetFlags flags;
  ftp::CCommandLineReader reader(kTelnetLineSize, &flags);
  if (qlm::test::FeedPieces(reader, pieces) != net::ParseStatus::kDone) {
    return {std::nullopt, "not done"};
  }
  std::string line = reader.Line();
  line.resize(line.size() - 2);
  return {ParseTelnetHostLine(line), reader.TakeOutput()};
}

TEST(TelnetHostLineTest, LineWithNegotiationParsesTheSameAtEveryCut) {
  // IAC DO ECHO, IAC WILL TERMINAL-TYPE, "127.0.0.1 2x", BS, "3", CR NUL.
  const std::string input =
      "\xff\xfd\x01"
      "\xff\xfb\x18"
      "127.0.0.1 2x\x08"
      "3\r\0";
  const std::string bytes(input.data(), input.size() + 1);  // the NUL too
  const auto whole = Typed({bytes});
  ASSERT_TRUE(whole.first.has_value());
  EXPECT_EQ(*whole.first, (TelnetHostLine{"127.0.0.1", 23}));
  EXPECT_TRUE(qlm::test::SameAtEverySplit(bytes, [](const Pieces& p) { return Typed(p); }));
}

TEST(TelnetHostLineTest, DeleteRemovesThePreviousCharacter) {
  const auto typed = Typed({"localhostt\x7f 7\r\n"});
  EXPECT_EQ(typed.first, (TelnetHostLine{"localhost", 7}));
}

}  // namespace
}  // namespace qlm::circuit
