// The request line and its URI: method, target and version; scheme, user
// information, host, port, path and query; the CONNECT target; and the line
// sent on to the server. Pure.
//
//   request-line = method SP request-URI SP "HTTP/" version
//   request-URI  = scheme "://" [user [":" password] "@"] host [":" port] [path [query]]
//   CONNECT      = "CONNECT" SP host ":" port SP "HTTP/" version
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qlm::http {

// What the client asked for, as the client socket keeps it.
struct HttpRequestInfo {
  std::string method;    // at most 15 characters
  std::string scheme;    // at most 15; "connect" for CONNECT
  std::string version;   // at most 15, as received
  uint16_t port = 0;
  std::string query;     // from the first "?" or "#" after the path start
  std::string password;
  std::string user;
  std::string path;      // the URI as received; after URI parsing, the path
  int scheme_code = -1;
  std::string host;
};

// Splits the line into method, URI (in `path`) and version. false: malformed
// (no blank, nothing after the method, no " HTTP/", nothing after the URI).
bool ParsingRequestLine(std::string_view line, HttpRequestInfo* request);

// Results of ParseURI.
inline constexpr int kUriParsed = 0;
inline constexpr int kUriUnparsable = -1;
inline constexpr int kUriRedirect = -2;  // bare host with GET or HEAD

// Parses `uri` into scheme, authority, path and query. Only http and ftp are
// accepted; the method decides the path of a URI without one.
int ParseURI(std::string_view uri, HttpRequestInfo* request);
// User information, host and port of an authority, with the scheme's default
// port. false for an empty authority or a scheme without a default port.
bool ParseHostPort(std::string_view authority, HttpRequestInfo* request);
// The host:port of a CONNECT request. false for an empty target, an empty
// host, or a target without a port (or with port 0): a port left over from an
// earlier request of the connection is never used.
bool ParseConnectTarget(std::string_view target, HttpRequestInfo* request);

// Scheme name -> scheme code (ignoring case); -1 for unknown names.
int SchemeCodeOf(std::string_view scheme);

// method SP path query SP version CRLF: the origin form the server receives.
std::string BuildServerRequestLine(const HttpRequestInfo& request);

}  // namespace qlm::http
