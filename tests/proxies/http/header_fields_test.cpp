// Header-block operations: look-up results and offsets, insertion in front,
// removal of named fields, Via, Content-Length, folded and bare-LF lines.
#include <gtest/gtest.h>

#include "proxies/http/header_fields.h"

namespace qlm::http {
namespace {

TEST(HeaderFieldsTest, QueryReportsValueAndOffsets) {
  const std::string head = "Accept: */*\r\nContent-Length:  42\r\n\r\n";
  HeaderQuery q = HTTPQueryHeaderInfo(head, "content-length:");
  ASSERT_EQ(q.result, kFieldFound);
  EXPECT_EQ(q.value, "  42");
  EXPECT_EQ(q.line_start, 13u);
  EXPECT_EQ(q.next_line_start, 34);
  // Without a name the first line matches; its value is the whole line.
  q = HTTPQueryHeaderInfo(head, "");
  EXPECT_EQ(q.result, kFieldFound);
  EXPECT_EQ(q.value, "Accept: */*");
  // A last line without the empty line after it: next line start is -1.
  q = HTTPQueryHeaderInfo("A: 1\r\n", "A:");
  EXPECT_EQ(q.next_line_start, -1);
}

TEST(HeaderFieldsTest, QueryResultCodes) {
  EXPECT_EQ(HTTPQueryHeaderInfo("", "Via:").result, kFieldNotFound);
  EXPECT_EQ(HTTPQueryHeaderInfo("A: 1\r\n\r\n", "Via:").result, kFieldNotFound);
  EXPECT_EQ(HTTPQueryHeaderInfo("A: 1\r\nVia: x", "Via:").result, kFieldNoLineEnd);
  EXPECT_EQ(HTTPQueryHeaderInfo("Via: 1234\r\n", "Via:", 5).result, kFieldValueTooLarge);
  EXPECT_EQ(HTTPQueryHeaderInfo("Via: 1234\r\n", "Via:", 6).result, kFieldFound);
}

TEST(HeaderFieldsTest, ConnectionDoesNotMatchProxyConnection) {
  const std::string head = "Proxy-Connection: close\r\n\r\n";
  EXPECT_EQ(HTTPQueryHeaderInfo(head, "Connection:").result, kFieldNotFound);
  EXPECT_EQ(HTTPQueryHeaderInfo("via: a\r\n", "Via:").result, kFieldFound);
}

TEST(HeaderFieldsTest, FoldedFieldIsOneField) {
  std::string head = "X-Long: a\r\n b\r\n\tc\r\nContent-Length: 3\r\n\r\n";
  HeaderQuery q = HTTPQueryHeaderInfo(head, "X-Long:");
  ASSERT_EQ(q.result, kFieldFound);
  EXPECT_EQ(q.value, " a\r\n b\r\n\tc");
  // A continuation line is never taken for a field of its own.
  EXPECT_EQ(HTTPQueryHeaderInfo("A: x\r\n Content-Length: 9\r\n\r\n", "Content-Length:").result,
            kFieldNotFound);
  EXPECT_EQ(RemoveHeaderField(&head, "x-long:"), kFieldFound);
  EXPECT_EQ(head, "Content-Length: 3\r\n\r\n");
}

TEST(HeaderFieldsTest, BareLfLinesAreLines) {
  std::string head = "Accept: a\nContent-Length: 7\n\n";
  EXPECT_EQ(GetContentLength(head), 7);
  EXPECT_EQ(RemoveHeaderField(&head, "Accept:"), kFieldFound);
  EXPECT_EQ(head, "Content-Length: 7\n\n");
}

TEST(HeaderFieldsTest, AddHostGoesInFront) {
  std::string head = "Accept: */*\r\n\r\n";
  EXPECT_EQ(AddHeaderField(&head, "Host: a:80"), 1);
  EXPECT_EQ(head, "Host: a:80\r\nAccept: */*\r\n\r\n");
}

TEST(HeaderFieldsTest, RemoveTakesOnlyTheFirstMatch) {
  std::string head = "A: 1\r\nB: 2\r\nA: 3\r\n\r\n";
  EXPECT_EQ(RemoveHeaderField(&head, "a:"), kFieldFound);
  EXPECT_EQ(head, "B: 2\r\nA: 3\r\n\r\n");
  EXPECT_EQ(RemoveHeaderField(&head, "C:"), kFieldNotFound);
  EXPECT_EQ(head, "B: 2\r\nA: 3\r\n\r\n");
}

TEST(HeaderFieldsTest, RemoveNamedFieldsFromAList) {
  std::string head = "keep-alive: 300\r\nX: 1\r\nFOO: bar\r\nfoo: again\r\n\r\n";
  EXPECT_EQ(RemoveHeaderFields(&head, "Keep-Alive,  Foo"), 1);
  EXPECT_EQ(head, "X: 1\r\nfoo: again\r\n\r\n");
  EXPECT_EQ(RemoveHeaderFields(&head, " , ,"), 0);
  EXPECT_EQ(RemoveHeaderFields(&head, ""), 0);
  // Only the first word of a piece names the field.
  EXPECT_EQ(RemoveHeaderFields(&head, "X trailing words"), 1);
  EXPECT_EQ(head, "foo: again\r\n\r\n");
}

TEST(HeaderFieldsTest, ViaIsExtendedOrAdded) {
  std::string head = "Accept: a\r\nVia: 1.0 gw\r\n\r\n";
  EXPECT_EQ(ProcessViaHeader(&head, "HTTP/1.1", "office"), 1);
  EXPECT_EQ(head, "Via: 1.0 gw, HTTP/1.1 office (Quillmar)\r\nAccept: a\r\n\r\n");
  head = "Accept: a\r\n\r\n";
  EXPECT_EQ(ProcessViaHeader(&head, "HTTP/1.0", "office"), 1);
  EXPECT_EQ(head, "Via: HTTP/1.0 office (Quillmar)\r\nAccept: a\r\n\r\n");
  head = "Accept: a";  // no line end: left alone
  EXPECT_EQ(ProcessViaHeader(&head, "HTTP/1.0", "office"), 0);
  EXPECT_EQ(head, "Accept: a");
}

TEST(HeaderFieldsTest, ContentLengthConvertsLikeAtoi) {
  EXPECT_EQ(GetContentLength("Content-Length: 12abc\r\n\r\n"), 12);
  EXPECT_EQ(GetContentLength("Accept: a\r\n\r\n"), -1);
  EXPECT_EQ(GetContentLength("content-length:\t -5\r\n\r\n"), -5);
  EXPECT_EQ(GetContentLength("Content-Length: x\r\n\r\n"), 0);
  EXPECT_EQ(GetContentLength("Content-Length: 99999999999999999999999\r\n\r\n"),
            std::numeric_limits<int64_t>::max());
  EXPECT_TRUE(HasTransferEncoding("TRANSFER-ENCODING: gzip\r\n\r\n"));
  EXPECT_FALSE(HasTransferEncoding("X: Transfer-Encoding: chunked\r\n\r\n"));
}

TEST(HeaderFieldsTest, MethodTableIsExactAndCaseSensitive) {
  for (const char* m : {"GET", "HEAD", "OPTIONS", "POST", "PUT", "DELETE", "LINK", "UNLINK",
                        "PATCH", "PROPFIND", "PROPPATCH", "MKCOL", "MOVE", "BMOVE"}) {
    EXPECT_TRUE(IsKnownMethod(m)) << m;
  }
  for (const char* m : {"get", "CONNECT", "TRACE", "COPY", "GETX", ""}) {
    EXPECT_FALSE(IsKnownMethod(m)) << m;
  }
}

TEST(HeaderFieldsTest, FirstLineIsSplitOff) {
  std::string block = "GET / HTTP/1.0\r\nA: 1\r\n\r\n";
  EXPECT_EQ(ReadFirstLine(&block), "GET / HTTP/1.0");
  EXPECT_EQ(block, "A: 1\r\n\r\n");
  block = "HTTP/1.1 200 OK\nX: y\n\n";
  EXPECT_EQ(ReadFirstLine(&block), "HTTP/1.1 200 OK");
  EXPECT_EQ(block, "X: y\n\n");
  block = "no line end";
  EXPECT_FALSE(ReadFirstLine(&block).has_value());
}

}  // namespace
}  // namespace qlm::http
