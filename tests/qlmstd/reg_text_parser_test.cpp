// The registry-editor text: every line form, and faulty lines named by number.
#include <gtest/gtest.h>

#include "qlmstd/qlmreg/reg_text_parser.h"

namespace qlm::qlmstd {
namespace {

using Kind = RegChange::Kind;

TEST(RegTextParserTest, ReadsEveryLineForm) {
  RegParseResult r = ParseRegText(
      "Windows Registry Editor Version 5.00\r\n"
      "; a comment\n"
      "\n"
      "[Daemons\\127.0.0.1:1080]\n"
      "\"Name\"=\"SO\\\\CK\\\"S\"\n"
      "\"DefaultPort\"=dword:00000438\n"
      "\"Enable\"=hex:01\n"
      "\"Empty\"=hex:\n"
      "\"Long\"=hex:01,02,\\\n"
      "  03\n"
      "@=\"unnamed\"\n"
      "\"Gone\"=-\n"
      "[-PortMap]\n");
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.changes.size(), 9u);
  EXPECT_EQ(r.changes[0].kind, Kind::kCreateKey);
  EXPECT_EQ(r.changes[0].key, "Daemons\\127.0.0.1:1080");
  EXPECT_EQ(r.changes[1].value.data, (std::vector<uint8_t>{'S', 'O', '\\', 'C', 'K', '"', 'S', 0}));
  EXPECT_EQ(r.changes[2].value.type, ValueType::kDword);
  EXPECT_EQ(r.changes[2].value.data, (std::vector<uint8_t>{0x38, 0x04, 0, 0}));
  EXPECT_EQ(r.changes[3].value.type, ValueType::kBinary);
  EXPECT_EQ(r.changes[3].value.data, (std::vector<uint8_t>{1}));
  EXPECT_TRUE(r.changes[4].value.data.empty());
  EXPECT_EQ(r.changes[5].value.data, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(r.changes[6].name, "");
  EXPECT_EQ(r.changes[7].kind, Kind::kDeleteValue);
  EXPECT_EQ(r.changes[7].key, "Daemons\\127.0.0.1:1080");
  EXPECT_EQ(r.changes[8].kind, Kind::kDeleteKey);
  EXPECT_EQ(r.changes[8].key, "PortMap");
}

TEST(RegTextParserTest, FaultyLinesAreNamedAndNothingIsKept) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"[A]\n\"x\"=foo:1\n", "line 2: unknown value type in \"foo:1\""},
      {"[A]\n\"x\"=hex:01,0g\n", "line 2: bad hex byte \"0g\""},
      {"[A]\n\"x\"=hex:1\n", "line 2: bad hex byte \"1\""},
      {"[A]\n\"x\"=dword:123456789\n", "line 2: bad dword \"123456789\""},
      {"\n[A\n", "line 2: missing \"]\""},
      {"[A]\n\"x\"=\"abc\n", "line 2: unterminated string"},
      {"[A]\n\"x=\"abc\"\n", "line 2: missing \"=\" after the value name"},
      {"[A]\n\"x\"=\"a\\tb\"\n", "line 2: unknown escape \\t"},
      {"[A]\n\"x\"=\"a\" b\n", "line 2: text after the closing quote"},
      {"\"x\"=dword:1\n", "line 1: value outside a key"},
      {"[-A]\n\"x\"=dword:1\n", "line 2: value outside a key"},
      {"[A]\nx=1\n", "line 2: not a key or value line"},
      {"[-]\n", "line 1: the root cannot be deleted"},
      {"[A]\n\"x\"=hex(1:41\n", "line 2: missing \"):\" after \"hex(\""},
      {"[A]\n\"x\"=hex(z):41\n", "line 2: bad value type \"z\""},
      {"[A]\n\"x\"=hex(1):4\n", "line 2: bad hex byte \"4\""},
  };
  for (const Case& c : cases) {
    RegParseResult r = ParseRegText(c.text);
    EXPECT_FALSE(r.ok) << c.text;
    EXPECT_EQ(r.error, c.error) << c.text;
    EXPECT_TRUE(r.changes.empty());
  }
}

TEST(RegTextParserTest, QuotingRoundTrips) {
  std::string tricky = "a\\b\"c\nd";
  RegParseResult r = ParseRegText("[K]\n" + QuoteRegString(tricky) + "=" + QuoteRegString(tricky));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.changes[1].name, tricky);
  EXPECT_EQ(std::string(r.changes[1].value.data.begin(), r.changes[1].value.data.end() - 1),
            tricky);
}

}  // namespace
}  // namespace qlm::qlmstd
