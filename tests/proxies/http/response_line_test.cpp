// Status-line parsing and rebuilding; chunk-size lines.
#include <gtest/gtest.h>

#include "proxies/http/response_line.h"

namespace qlm::http {
namespace {

TEST(ResponseLineTest, ParsedAndRebuilt) {
  auto s = ParsingResponseLine("HTTP/1.1 404 Not Found");
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(s->version, "HTTP/1.1");
  EXPECT_EQ(s->status, 404);
  EXPECT_EQ(s->reason, "Not Found");
  EXPECT_EQ(FormatStatusLine(*s), "HTTP/1.1 404 Not Found\r\n");
  s = ParsingResponseLine("HTTP/1.0 404");
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(FormatStatusLine(*s), "HTTP/1.0 404\r\n");
  s = ParsingResponseLine("HTTP/1.1 200 OK  with  blanks ");
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(s->reason, "OK  with  blanks ");
}

TEST(ResponseLineTest, MalformedStatusLines) {
  for (const char* line : {"HTTP/1.1", "HTTP/1.1 ", "HTTP/1.1    ", "ICY 200 OK", "HTTP/x.1 200 OK",
                           "HTTP/1. 200 OK", "HTTP/1.1 0 Zero", "HTTP/1.1 -5 Neg",
                           "HTTP/1.1  200 OK", "", "HTTP/1.1 abc"}) {
    EXPECT_FALSE(ParsingResponseLine(line).has_value()) << line;
  }
}

TEST(ResponseLineTest, ChunkSizeLines) {
  auto c = ParseChunkSizeLine("1a;name=value\r\n");
  EXPECT_EQ(c.kind, ChunkSizeLine::Kind::kChunk);
  EXPECT_EQ(c.size, 26u);
  EXPECT_EQ(ParseChunkSizeLine("FFFFFFFF\r\n").size, 0xFFFFFFFFu);
  EXPECT_EQ(ParseChunkSizeLine("0\r\n").kind, ChunkSizeLine::Kind::kLast);
  EXPECT_EQ(ParseChunkSizeLine("000\r\n").kind, ChunkSizeLine::Kind::kLast);
  // A leading zero is part of a size, not the last chunk.
  c = ParseChunkSizeLine("0a\r\n");
  EXPECT_EQ(c.kind, ChunkSizeLine::Kind::kChunk);
  EXPECT_EQ(c.size, 10u);
  EXPECT_EQ(ParseChunkSizeLine("100000000\r\n").kind, ChunkSizeLine::Kind::kInvalid);
  EXPECT_EQ(ParseChunkSizeLine("xyz\r\n").kind, ChunkSizeLine::Kind::kInvalid);
  EXPECT_EQ(ParseChunkSizeLine("\r\n").kind, ChunkSizeLine::Kind::kInvalid);
}

}  // namespace
}  // namespace qlm::http
