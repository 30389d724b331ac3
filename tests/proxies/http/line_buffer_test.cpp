// Line taking and head reading over a receive buffer fed in pieces: every
// split offset, every limit and one byte past it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "proxies/http/head_reader.h"
#include "proxies/http/line_buffer.h"

namespace qlm::http {
namespace {

// A line source over a byte string delivered in pieces of `piece` bytes, the
// way ReadBufferedLine does it: scan, then receive more.
class PieceSource {
 public:
  PieceSource(std::string bytes, size_t piece) : bytes_(std::move(bytes)), piece_(piece) {}

  int operator()(size_t out_size, std::string* line) {
    for (;;) {
      switch (buffer_.TakeLine(out_size, line)) {
        case CLineBuffer::Scan::kLine: return LineRead;
        case CLineBuffer::Scan::kTooLong: line->clear(); return LineTooLong;
        case CLineBuffer::Scan::kUnsafe: line->clear(); return LineUnsafe;
        case CLineBuffer::Scan::kNeedMore: break;
      }
      line->clear();
      if (sent_ == bytes_.size()) {
        return LineClosed;
      }
      size_t room = 0;
      char* space = buffer_.ReceiveSpace(&room);
      if (space == nullptr) {
        return LineBufferLimit;
      }
      const size_t n = std::min({room, piece_, bytes_.size() - sent_});
      std::memcpy(space, bytes_.data() + sent_, n);
      buffer_.Commit(n);
      sent_ += n;
    }
  }
  CLineBuffer& Buffer() { return buffer_; }

 private:
  std::string bytes_;
  size_t piece_;
  size_t sent_ = 0;
  CLineBuffer buffer_;
};

int ReadWholeHead(const std::string& bytes, size_t piece, std::string* head) {
  PieceSource source(bytes, piece);
  size_t used = 0;
  return ReadHead(head, &used, kHeadBlockStart,
                  [&](size_t out, std::string* line) { return source(out, line); });
}

TEST(CLineBufferTest, HeadReadSameAtEverySplit) {
  const std::string head = "GET http://a/ HTTP/1.1\r\nHost: a\r\nAccept: */*\n\r\n";
  const std::string bytes = head + "BODY";
  for (size_t piece = 1; piece <= bytes.size(); ++piece) {
    PieceSource source(bytes, piece);
    std::string block;
    size_t used = 0;
    ASSERT_EQ(ReadHead(&block, &used, kHeadBlockStart,
                       [&](size_t o, std::string* l) { return source(o, l); }),
              LineRead) << piece;
    EXPECT_EQ(block, head) << piece;
    EXPECT_EQ(used, head.size());
    // What came after the head stays buffered for the body relay.
    EXPECT_EQ(std::string(source.Buffer().Data(), source.Buffer().Count()),
              bytes.substr(head.size(), source.Buffer().Count()));
  }
}

TEST(CLineBufferTest, LeadingEmptyLinesAreSkipped) {
  std::string block;
  ASSERT_EQ(ReadWholeHead("\r\n\nGET / HTTP/1.0\r\n\r\n", 3, &block), LineRead);
  EXPECT_EQ(block, "GET / HTTP/1.0\r\n\r\n");
}

TEST(CLineBufferTest, HeadOf70000BytesIsTooLong) {
  std::string bytes = "GET http://a/ HTTP/1.0\r\n";
  while (bytes.size() < 70000) {
    bytes += "X-Fill: " + std::string(1000, 'f') + "\r\n";
  }
  bytes += "\r\n";
  std::string block;
  EXPECT_EQ(ReadWholeHead(bytes, 4096, &block), LineTooLong);
}

TEST(CLineBufferTest, HeadFitsUpTo65535BytesAndNotOneMore) {
  // Start line + filler lines + empty line: exactly `total` bytes.
  auto head_of = [](size_t total) {
    std::string head = "GET http://a/ HTTP/1.0\r\n";
    while (total - head.size() - 2 > 20000) {
      head += "X: " + std::string(20000 - 5, 'a') + "\r\n";
    }
    const size_t left = total - head.size() - 2;
    head += "Y: " + std::string(left - 5, 'b') + "\r\n\r\n";
    return head;
  };
  std::string block;
  EXPECT_EQ(ReadWholeHead(head_of(65535), 8192, &block), LineRead);
  EXPECT_EQ(block.size(), 65535u);
  EXPECT_EQ(ReadWholeHead(head_of(65536), 8192, &block), LineTooLong);
}

TEST(CLineBufferTest, LineLimitIs32768BufferedBytes) {
  std::string block;
  // A 40,000-byte line without LF.
  EXPECT_EQ(ReadWholeHead("GET /" + std::string(40000, 'a'), 1500, &block), LineBufferLimit);
  // LF as byte 32,768: still within the buffer.
  const std::string longest = "X: " + std::string(32768 - 5, 'a') + "\r\n";
  EXPECT_EQ(ReadWholeHead("GET / HTTP/1.0\r\n" + longest + "\r\n", 32768, &block), LineRead);
  // One byte more, delivered so the buffer fills before the LF comes.
  PieceSource source(longest.substr(0, longest.size() - 1) + "a\n", 512);
  std::string line;
  EXPECT_EQ(source(kHeadBlockLimit, &line), LineBufferLimit);
}

TEST(CLineBufferTest, UnsafeBytesBeforeTheLineEnd) {
  std::string block;
  for (char bad : {'\x01', '\x7f', '\x00', '\x1f', '\x08', '\x0e'}) {
    std::string bytes = "GET / HTTP/1.0\r\nX: a";
    bytes += bad;
    bytes += "b\r\n\r\n";
    EXPECT_EQ(ReadWholeHead(bytes, 5, &block), LineUnsafe) << int(bad);
  }
  // HT, VT, FF and 8-bit bytes are not unsafe.
  EXPECT_EQ(ReadWholeHead("GET / HTTP/1.0\r\nX: a\t\v\f\xe9\xff\r\n\r\n", 2, &block), LineRead);
}

TEST(CLineBufferTest, TooSmallOutputConsumesNothing) {
  PieceSource source("abc\r\nnext\n", 64);
  std::string line;
  EXPECT_EQ(source(1, &line), LineTooLong);
  EXPECT_EQ(source(5, &line), LineTooLong);  // "abc\r\n" needs 6
  EXPECT_EQ(source(6, &line), LineRead);
  EXPECT_EQ(line, "abc\r\n");
  EXPECT_EQ(source(6, &line), LineRead);
  EXPECT_EQ(line, "next\n");
  EXPECT_EQ(source(6, &line), LineClosed);
  EXPECT_TRUE(line.empty());
}

}  // namespace
}  // namespace qlm::http
