// The proxy's own replies, spelled out byte for byte.
#include <gtest/gtest.h>

#include "proxies/http/http_wire.h"

namespace qlm::http {
namespace {

const char kHead[] =
    "Proxy-agent: Quillmar Proxy Server\r\nProxy-Connection: close\r\nPragma: no-cache\r\n"
    "Cache-Control: no-cache\r\nAccept-Ranges: bytes\r\nContent-Type: text/html\r\n";

TEST(HttpWireTest, ErrorReplies) {
  EXPECT_EQ(Reply400("400 Bad Request: parsing submitted URI error"),
            std::string("HTTP/1.0 400 Bad Request\r\n") + kHead + "Content-Length: 115\r\n\r\n" +
                "<html><head><title>Request Error</title></head><body>400 Bad Request: parsing "
                "submitted URI error<br></body></html>");
  EXPECT_EQ(Reply414(), std::string("HTTP/1.1 414 Request URI Too Large\r\n") + kHead +
                            "Content-Length: 111\r\n\r\n<html><head><title>Request Error</title>"
                            "</head><body>414 Request URI or headers are too Large<br></body></html>");
  EXPECT_EQ(Reply501(), std::string("HTTP/1.1 501 Service Not Implemented\r\n") + kHead +
                            "Content-Length: 124\r\n\r\n<html><head><title>Request Error</title>"
                            "</head><body>501 Server doesn't Implemented the requested service!"
                            "<br></body></html>");
  EXPECT_EQ(Reply502("500 Bad Response Received From Server: h"),
            std::string("HTTP/1.0 502 Bad Response From Server Received\r\n") + kHead +
                "Content-Length: 112\r\n\r\n<html><head><title>Response Error</title></head><body>"
                "500 Bad Response Received From Server: h<br></body></html>");
  EXPECT_EQ(Reply503(),
            std::string("HTTP/1.1 503 Service Temporarily Unavailable:Limited by maximum "
                        "connections\r\n") +
                kHead + "Content-Length: 174\r\n\r\n<html><head><title>Service Temporarily "
                "Unavailable</title></head><body>503 Service Temporarily Unavailable:Limited by "
                "maximum connections! Please try again.<br></body></html>");
}

TEST(HttpWireTest, RedirectTunnelAndDialPages) {
  EXPECT_EQ(Reply302("http://h"),
            "HTTP/1.0 302 Found different location\r\nProxy-agent: Quillmar Proxy Server\r\n"
            "Proxy-Connection: close\r\nLocation: http://h/\r\n\r\n");
  EXPECT_EQ(kTunnelEstablished,
            "HTTP/1.1 200 Connection established\r\nProxy-agent: Quillmar Proxy Server\r\n"
            "Proxy-Connection: close\r\nPragma: no-cache\r\nCache-Control: no-cache\r\n\r\n");
  const std::string page = ReplyDialUpDisconnected();
  EXPECT_EQ(page.substr(0, 35), "HTTP/1.1 200 Dial Up Disconnected\r\n");
  EXPECT_NE(page.find("\r\n\r\n<html><head><title>Dial Up Network is disconnected</title></head>"
                      "<body>Please click <a href=\"http://quillmar/dial-on\">dial-on</a> to "
                      "enable the connection.<br></body></html>"),
            std::string::npos);
}

}  // namespace
}  // namespace qlm::http
