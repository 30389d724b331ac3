// Connection-field rules of both directions.
#include "proxies/http/connection_fields.h"

#include "proxies/http/header_fields.h"
#include "proxies/http/http_wire.h"

namespace qlm::http {
namespace {

// Takes the field `name` out of the block together with the fields its value
// names; returns whether it was there and its keep-alive word.
bool TakeConnectionField(std::string* block, std::string_view name, bool* keep_alive) {
  const HeaderQuery query = HTTPQueryHeaderInfo(*block, name);
  if (query.result != kFieldFound) {
    return false;
  }
  RemoveHeaderField(block, name);
  *keep_alive = EqualsIgnoreCase(FirstWord(query.value, kShortTextLimit), "Keep-Alive");
  RemoveHeaderFields(block, query.value);
  return true;
}

}  // namespace

int ProcessRequestConnectionField(std::string* block, std::string_view version) {
  int close = version == "HTTP/1.1" ? 0 : 1;
  for (std::string_view name : {std::string_view("Connection:"), std::string_view("Proxy-Connection:")}) {
    bool keep_alive = false;
    if (TakeConnectionField(block, name, &keep_alive)) {
      close = keep_alive ? 0 : 1;
    }
  }
  const bool has_range = HTTPQueryHeaderInfo(*block, "Range:").result == kFieldFound;
  AddHeaderField(block, close == 0 && !has_range ? kConnectionKeepAlive : kConnectionClose);
  return close;
}

int ProcessResponseConnectionField(std::string* block, std::string_view version, bool forced) {
  int close = forced ? 1 : (version == "HTTP/1.1" ? 0 : 1);
  bool keep_alive = false;
  if (TakeConnectionField(block, "Connection:", &keep_alive) && !forced) {
    close = keep_alive ? 0 : 1;
  }
  if (!forced && close == 0) {
    AddHeaderField(block, kProxyConnectionKeepAlive);
  } else {
    AddHeaderField(block, kProxyConnectionClose);
    AddHeaderField(block, kConnectionClose);
  }
  return close;
}

int AddHostField(std::string* block, std::string_view host, uint16_t port) {
  if (HTTPQueryHeaderInfo(*block, "Host:").result == kFieldFound) {
    return 0;
  }
  std::string field("Host: ");
  field.append(host).append(":").append(std::to_string(port));
  return AddHeaderField(block, field);
}

}  // namespace qlm::http
