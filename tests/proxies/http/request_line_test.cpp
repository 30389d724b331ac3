// Request-line, URI, authority and CONNECT-target parsing.
#include <gtest/gtest.h>

#include "proxies/http/http_wire.h"
#include "proxies/http/request_line.h"

namespace qlm::http {
namespace {

HttpRequestInfo Parsed(const std::string& line) {
  HttpRequestInfo r;
  EXPECT_TRUE(ParsingRequestLine(line, &r)) << line;
  return r;
}

TEST(RequestLineTest, SplitsMethodUriVersion) {
  HttpRequestInfo r = Parsed("GET http://a.b/c?d HTTP/1.1");
  EXPECT_EQ(r.method, "GET");
  EXPECT_EQ(r.path, "http://a.b/c?d");
  EXPECT_EQ(r.version, "HTTP/1.1");
  // Extra blanks before the version stay in front of it.
  r = Parsed("GET http://a/   HTTP/1.1");
  EXPECT_EQ(r.path, "http://a/");
  EXPECT_EQ(r.version, "  HTTP/1.1");
  // Method and version are cut to 15 characters.
  r = Parsed("ABCDEFGHIJKLMNOPQRS / HTTP/1.1-and-more");
  EXPECT_EQ(r.method, "ABCDEFGHIJKLMNO");
  EXPECT_EQ(r.version, "HTTP/1.1-and-mo");
}

TEST(RequestLineTest, MalformedLines) {
  HttpRequestInfo r;
  for (const char* line : {"GET", "GET ", "GET    ", "GET /", "GET http://a/ HTTP1.1", ""}) {
    EXPECT_FALSE(ParsingRequestLine(line, &r)) << line;
  }
  // Blanks in front of the URI stay there, and the URI then fails.
  ASSERT_TRUE(ParsingRequestLine("GET  http://a/ HTTP/1.0", &r));
  EXPECT_EQ(r.path, " http://a/");
  EXPECT_EQ(ParseURI(r.path, &r), kUriUnparsable);
}

TEST(RequestLineTest, UriWithUserPortPathQuery) {
  HttpRequestInfo r;
  r.method = "GET";
  ASSERT_EQ(ParseURI("HTTP://us:pw@Host.Example:8080/p/q.html?x=1#f", &r), kUriParsed);
  EXPECT_EQ(r.scheme, "HTTP");
  EXPECT_EQ(r.scheme_code, kSchemeHttp);
  EXPECT_EQ(r.user, "us");
  EXPECT_EQ(r.password, "pw");
  EXPECT_EQ(r.host, "Host.Example");
  EXPECT_EQ(r.port, 8080);
  EXPECT_EQ(r.path, "/p/q.html");
  EXPECT_EQ(r.query, "?x=1#f");
  r.version = "HTTP/1.0";
  EXPECT_EQ(BuildServerRequestLine(r), "GET /p/q.html?x=1#f HTTP/1.0\r\n");
}

TEST(RequestLineTest, DefaultPortsAndEmptyPort) {
  HttpRequestInfo r;
  ASSERT_EQ(ParseURI("http://h:/", &r), kUriParsed);
  EXPECT_EQ(r.port, 80);
  ASSERT_EQ(ParseURI("ftp://u@h/pub", &r), kUriParsed);
  EXPECT_EQ(r.port, 21);
  EXPECT_EQ(r.user, "u");
  EXPECT_EQ(r.scheme_code, kSchemeFtp);
  ASSERT_EQ(ParseURI("http://h:65617/", &r), kUriParsed);  // truncated to 16 bits
  EXPECT_EQ(r.port, 81);
}

TEST(RequestLineTest, UriWithoutPathDependsOnMethod) {
  HttpRequestInfo r;
  r.method = "GET";
  EXPECT_EQ(ParseURI("http://h", &r), kUriRedirect);
  r.method = "HEAD";
  EXPECT_EQ(ParseURI("http://h", &r), kUriRedirect);
  r.method = "POST";
  ASSERT_EQ(ParseURI("http://h", &r), kUriParsed);
  EXPECT_EQ(r.path, "/");
  r.method = "OPTIONS";
  ASSERT_EQ(ParseURI("http://h:81", &r), kUriParsed);
  EXPECT_EQ(r.path, "*");
  EXPECT_EQ(r.port, 81);
}

TEST(RequestLineTest, UnparsableUris) {
  HttpRequestInfo r;
  r.method = "GET";
  for (const char* uri : {"/index.html", "gopher://h/", "news://h/", "mailto:a@b", "file:///x",
                          "whatever://h/", "http:/h/", "http:h", "http:///p", "http://",
                          "ABCDEFGHIJKLMNOPQRhttp://h/"}) {
    EXPECT_EQ(ParseURI(uri, &r), kUriUnparsable) << uri;
  }
}

TEST(RequestLineTest, SchemeCodes) {
  EXPECT_EQ(SchemeCodeOf("Http"), 3);
  EXPECT_EQ(SchemeCodeOf("FTP"), 1);
  EXPECT_EQ(SchemeCodeOf("gopher"), 2);
  EXPECT_EQ(SchemeCodeOf("mailto"), 7);
  EXPECT_EQ(SchemeCodeOf("news"), 6);
  EXPECT_EQ(SchemeCodeOf("file"), 5);
  EXPECT_EQ(SchemeCodeOf("https"), -1);
}

TEST(RequestLineTest, ConnectTargets) {
  HttpRequestInfo r;
  ASSERT_TRUE(ParseConnectTarget("secure.example:443", &r));
  EXPECT_EQ(r.host, "secure.example");
  EXPECT_EQ(r.port, 443);
  EXPECT_EQ(r.scheme, "connect");
  EXPECT_EQ(r.scheme_code, kSchemeConnect);
  EXPECT_EQ(r.path, "/");
  ASSERT_TRUE(ParseConnectTarget("u:p@h:8443/x?y", &r));
  EXPECT_EQ(r.host, "h");
  EXPECT_EQ(r.port, 8443);
  EXPECT_EQ(r.path, "/x?y");
  // No port, an empty port, port 0 or no host: refused, whatever an earlier
  // request of the connection left in the port.
  r.port = 443;
  for (const char* t : {"", "h", "h:", "h:0", ":443", "h:abc"}) {
    EXPECT_FALSE(ParseConnectTarget(t, &r)) << t;
  }
}

}  // namespace
}  // namespace qlm::http
