// The proxy's own replies, assembled from the fixed texts of http_wire.h.
#include "proxies/http/http_wire.h"

namespace qlm::http {

std::string ErrorReply(std::string_view status_line, std::string_view body) {
  std::string reply;
  reply.reserve(status_line.size() + kCommonErrorHead.size() + body.size() + 32);
  reply.append(status_line);
  reply.append(kCommonErrorHead);
  reply.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n\r\n");
  reply.append(body);
  return reply;
}

std::string Reply400(std::string_view message) {
  std::string body(kRequestErrorBodyStart);
  body.append(message).append(kBodyEnd);
  return ErrorReply(kStatus400, body);
}

std::string Reply414() { return ErrorReply(kStatus414, kBody414); }
std::string Reply501() { return ErrorReply(kStatus501, kBody501); }

std::string Reply502(std::string_view message) {
  std::string body(kResponseErrorBodyStart);
  body.append(message).append(kBodyEnd);
  return ErrorReply(kStatus502, body);
}

std::string Reply503() { return ErrorReply(kStatus503, kBody503); }

std::string ReplyDialUpDisconnected() {
  return ErrorReply(kStatusDialUpDisconnected, kBodyDialUpDisconnected);
}

std::string Reply302(std::string_view uri) {
  std::string reply(kRedirectHead);
  reply.append("Location: ").append(uri).append("/\r\n\r\n");
  return reply;
}

}  // namespace qlm::http
