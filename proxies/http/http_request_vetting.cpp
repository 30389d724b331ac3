// Vetting a request line: parse it, refuse what the proxy does not serve
// (each refusal a reply, then an exception with the reason), redirect a URI
// that ends with its authority.
#include <cstdio>

#include "proxies/http/header_fields.h"
#include "proxies/http/http_client_socket.h"
#include "proxies/http/http_texts.h"

namespace qlm::http {
namespace {

std::string Format(const char* format, const std::string& text) {
  char buffer[512];
  std::snprintf(buffer, sizeof(buffer), format, text.c_str());
  return buffer;
}

}  // namespace

bool CHttpClientSocket::ParsingRequestLine(const std::string& line) {
  return http::ParsingRequestLine(line, &request_);
}

int CHttpClientSocket::ParseURI(const std::string& uri) { return http::ParseURI(uri, &request_); }

bool CHttpClientSocket::ParseHostPort(const std::string& authority) {
  return http::ParseHostPort(authority, &request_);
}

bool CHttpClientSocket::ParseConnectTarget(const std::string& target) {
  return http::ParseConnectTarget(target, &request_);
}

int CHttpClientSocket::ProcessRequestLine(const std::string& line) {
  if (!ParsingRequestLine(line)) {
    SendReply(Reply501());
    throw net::CBlockingSocketException(
        Format(kFormatBadRequestLine, line));
  }
  const std::string uri = request_.path;
  if (request_.method == kConnectMethod) {
    if (ParseConnectTarget(uri)) {
      return 0;
    }
    SendReply(Reply400(kMsgParsingHttpsHost));
    throw net::CBlockingSocketException(
        Format(kFormatBadConnectTarget, uri));
  }
  if (!IsKnownMethod(request_.method)) {
    SendReply(Reply501());
    throw net::CBlockingSocketException(
        Format(kFormatUnknownMethod, request_.method));
  }
  switch (ParseURI(uri)) {
    case kUriParsed:
      return 0;
    case kUriRedirect:
      SendReply(Reply302(uri));
      return -2;
    default:
      SendReply(Reply400(kMsgParsingUri));
      throw net::CBlockingSocketException(
          Format(kFormatBadUri, uri));
  }
}

}  // namespace qlm::http
