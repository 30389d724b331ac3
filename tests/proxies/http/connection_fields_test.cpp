// Keep-alive decisions and Connection-field rewriting in both directions.
#include <gtest/gtest.h>

#include "proxies/http/connection_fields.h"

namespace qlm::http {
namespace {

TEST(ConnectionFieldsTest, RequestVersionDecidesByDefault) {
  std::string head = "Accept: a\r\n\r\n";
  EXPECT_EQ(ProcessRequestConnectionField(&head, "HTTP/1.1"), 0);
  EXPECT_EQ(head, "Connection: Keep-Alive\r\nAccept: a\r\n\r\n");
  head = "Accept: a\r\n\r\n";
  EXPECT_EQ(ProcessRequestConnectionField(&head, "HTTP/1.0"), 1);
  EXPECT_EQ(head, "Connection: close\r\nAccept: a\r\n\r\n");
}

TEST(ConnectionFieldsTest, RequestFieldsAndNamedFieldsGo) {
  std::string head =
      "Connection: keep-alive, X-Hop\r\nX-Hop: 1\r\nProxy-Connection: Keep-Alive\r\n"
      "Keep-Alive: 300\r\nCookie: c\r\n\r\n";
  // First word "keep-alive," carries the comma: close. Proxy-Connection comes
  // second and decides; the Keep-Alive field it names goes too.
  EXPECT_EQ(ProcessRequestConnectionField(&head, "HTTP/1.0"), 0);
  EXPECT_EQ(head, "Connection: Keep-Alive\r\nCookie: c\r\n\r\n");
  head = "Connection: keep-alive, X-Hop\r\nX-Hop: 1\r\n\r\n";
  EXPECT_EQ(ProcessRequestConnectionField(&head, "HTTP/1.1"), 1);
  EXPECT_EQ(head, "Connection: close\r\n\r\n");
}

TEST(ConnectionFieldsTest, RangeForcesCloseTowardsServer) {
  std::string head = "Range: bytes=0-9\r\n\r\n";
  EXPECT_EQ(ProcessRequestConnectionField(&head, "HTTP/1.1"), 0);
  EXPECT_EQ(head, "Connection: close\r\nRange: bytes=0-9\r\n\r\n");
}

TEST(ConnectionFieldsTest, ResponseKeepAliveAndClose) {
  std::string head = "Content-Length: 10\r\n\r\n";
  EXPECT_EQ(ProcessResponseConnectionField(&head, "HTTP/1.1", false), 0);
  EXPECT_EQ(head, "Proxy-Connection: Keep-Alive\r\nContent-Length: 10\r\n\r\n");
  head = "Server: s\r\n\r\n";
  EXPECT_EQ(ProcessResponseConnectionField(&head, "HTTP/1.0", false), 1);
  EXPECT_EQ(head, "Connection: close\r\nProxy-Connection: close\r\nServer: s\r\n\r\n");
  head = "Connection: Keep-Alive\r\nKeep-Alive: timeout=5\r\nProxy-Connection: x\r\n\r\n";
  EXPECT_EQ(ProcessResponseConnectionField(&head, "HTTP/1.0", false), 0);
  EXPECT_EQ(head, "Proxy-Connection: Keep-Alive\r\nProxy-Connection: x\r\n\r\n");
}

TEST(ConnectionFieldsTest, ForcedResponseCloseIgnoresKeepAlive) {
  std::string head = "Connection: keep-alive\r\nDate: d\r\n\r\n";
  EXPECT_EQ(ProcessResponseConnectionField(&head, "HTTP/1.1", true), 1);
  EXPECT_EQ(head, "Connection: close\r\nProxy-Connection: close\r\nDate: d\r\n\r\n");
}

TEST(ConnectionFieldsTest, HostFieldOnlyWhenMissing) {
  std::string head = "Accept: a\r\n\r\n";
  EXPECT_EQ(AddHostField(&head, "h", 80), 1);
  EXPECT_EQ(head, "Host: h:80\r\nAccept: a\r\n\r\n");
  EXPECT_EQ(AddHostField(&head, "other", 81), 0);
  EXPECT_EQ(head, "Host: h:80\r\nAccept: a\r\n\r\n");
}

}  // namespace
}  // namespace qlm::http
