// Request-line, URI, authority and CONNECT-target parsing.
#include "proxies/http/request_line.h"

#include <algorithm>

#include "proxies/http/header_fields.h"
#include "proxies/http/http_wire.h"

namespace qlm::http {
namespace {

std::string Cut(std::string_view text, size_t limit = kShortTextLimit) {
  return std::string(text.substr(0, std::min(limit, text.size())));
}

bool OnlyBlanks(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

uint16_t PortOf(std::string_view text) { return static_cast<uint16_t>(AtoI(text)); }

}  // namespace

bool ParsingRequestLine(std::string_view line, HttpRequestInfo* request) {
  const size_t blank = line.find(' ');
  if (blank == std::string_view::npos) {
    return false;
  }
  request->method = Cut(line.substr(0, blank));
  const std::string_view rest = line.substr(blank + 1);
  if (OnlyBlanks(rest)) {
    return false;
  }
  const size_t marker = rest.find(" HTTP/");
  if (marker == std::string_view::npos) {
    return false;
  }
  // Blanks directly before " HTTP/" end the URI at the first of them.
  size_t uri_end = marker;
  while (uri_end > 0 && rest[uri_end - 1] == ' ') {
    --uri_end;
  }
  const std::string_view version = rest.substr(uri_end + 1);
  if (OnlyBlanks(version)) {
    return false;
  }
  request->path.assign(rest.substr(0, uri_end));
  request->version = Cut(version);
  return true;
}

int SchemeCodeOf(std::string_view scheme) {
  static constexpr std::pair<std::string_view, int> kSchemes[] = {
      {"http", kSchemeHttp}, {"ftp", kSchemeFtp},   {"gopher", kSchemeGopher},
      {"mailto", kSchemeMailto}, {"news", kSchemeNews}, {"file", kSchemeFile}};
  for (const auto& [name, code] : kSchemes) {
    if (EqualsIgnoreCase(scheme, name)) {
      return code;
    }
  }
  return kSchemeUnknown;
}

bool ParseHostPort(std::string_view authority, HttpRequestInfo* request) {
  if (authority.empty()) {
    return false;
  }
  if (request->scheme_code == kSchemeHttp) {
    request->port = 80;
  } else if (request->scheme_code == kSchemeFtp) {
    request->port = 21;
  } else {
    return false;
  }
  // The last "@" ends the user information, so the host is always what follows it.
  const size_t at = authority.rfind('@');
  std::string_view host_part = authority;
  if (at != std::string_view::npos) {
    const std::string_view user_info = authority.substr(0, at);
    const size_t colon = user_info.find(':');
    if (colon != std::string_view::npos) {
      if (colon + 1 < user_info.size()) {
        request->password.assign(user_info.substr(colon + 1));
      }
      request->user.assign(user_info.substr(0, colon));
    } else {
      request->user.assign(user_info);
    }
    host_part = authority.substr(at + 1);
  }
  const size_t colon = host_part.find(':');
  if (colon != std::string_view::npos && colon + 1 < host_part.size()) {
    request->port = PortOf(host_part.substr(colon + 1));
  }
  request->host.assign(host_part.substr(0, colon));
  return true;
}

int ParseURI(std::string_view uri, HttpRequestInfo* request) {
  const size_t colon = uri.find(':');
  if (colon == std::string_view::npos) {
    return kUriUnparsable;
  }
  request->scheme = Cut(uri.substr(0, colon));
  request->scheme_code = SchemeCodeOf(request->scheme);
  if (request->scheme_code != kSchemeHttp && request->scheme_code != kSchemeFtp) {
    return kUriUnparsable;
  }
  if (uri.substr(colon + 1, 2) != "//") {
    return kUriUnparsable;
  }
  const std::string_view rest = uri.substr(colon + 3);
  const size_t slash = rest.find('/');
  if (slash == 0) {
    return kUriUnparsable;
  }
  if (slash != std::string_view::npos) {
    if (!ParseHostPort(rest.substr(0, slash), request)) {
      return kUriUnparsable;
    }
    const std::string_view path_and_query = rest.substr(slash);
    const size_t query = path_and_query.find_first_of("?#");
    request->path.assign(path_and_query.substr(0, query));
    request->query.assign(query == std::string_view::npos ? std::string_view{}
                                                          : path_and_query.substr(query));
    return kUriParsed;
  }
  if (rest.empty() || !ParseHostPort(rest, request)) {
    return kUriUnparsable;
  }
  request->query.clear();
  if (request->method == "OPTIONS") {
    request->path = "*";
  } else if (request->method == "GET" || request->method == "HEAD") {
    return kUriRedirect;
  } else {
    request->path = "/";
  }
  return kUriParsed;
}

bool ParseConnectTarget(std::string_view target, HttpRequestInfo* request) {
  if (target.empty()) {
    return false;
  }
  request->scheme = "connect";
  request->scheme_code = kSchemeConnect;
  const size_t cut = target.find_first_of("/?");
  request->path.assign(cut == std::string_view::npos ? std::string_view("/") : target.substr(cut));
  std::string_view host_port = target.substr(0, cut);
  const size_t at = host_port.rfind('@');
  if (at != std::string_view::npos) {
    host_port = host_port.substr(at + 1);
  }
  const size_t colon = host_port.find(':');
  if (colon == std::string_view::npos || colon == 0) {
    return false;
  }
  const uint16_t port = PortOf(host_port.substr(colon + 1));
  if (port == 0) {
    return false;
  }
  request->port = port;
  request->host.assign(host_port.substr(0, colon));
  return true;
}

std::string BuildServerRequestLine(const HttpRequestInfo& request) {
  std::string line;
  line.reserve(request.method.size() + request.path.size() + request.query.size() +
               request.version.size() + 4);
  line.append(request.method).append(" ").append(request.path).append(request.query);
  line.append(" ").append(request.version).append("\r\n");
  return line;
}

}  // namespace qlm::http
