// The release check's fetch, over the HTTP proxy's line-buffered socket.
#include "dialup/update/fetch_url.h"

#include <cstdlib>

#include "proxies/http/http_blocking_socket.h"
#include "proxies/http/response_line.h"

namespace qlm::update {

namespace {

// "name" or "name:port" as a host name and a port (host order); port 0 for
// a port that is not a number from 1 to 65535.
std::pair<std::string, unsigned short> SplitHost(const std::string& host) {
  const size_t colon = host.rfind(':');
  if (colon == std::string::npos) {
    return {host, kHttpPort};
  }
  char* end = nullptr;
  const long port = std::strtol(host.c_str() + colon + 1, &end, 10);
  const bool valid = end != host.c_str() + colon + 1 && *end == '\0' && port > 0 && port < 65536;
  return {host.substr(0, colon), static_cast<unsigned short>(valid ? port : 0)};
}

std::string Fetch(const std::string& request, const std::string& host,
                  const UpdateTimeouts& timeouts) {
  const auto [name, port] = SplitHost(host);
  if (port == 0) {
    return {};
  }
  const sockaddr_in address = net::CBlockingSocket::GetHostByName(name.c_str(), port);
  http::CHttpBlockingSocket socket;
  socket.ConnectOutward(address, timeouts.connect);
  socket.SendAll(request.data(), static_cast<int>(request.size()), timeouts.send);
  std::string head;
  size_t used = 0;
  if (socket.ReadHeaderBlock(&head, &used, nullptr, timeouts.receive) != http::LineRead) {
    return {};
  }
  const std::optional<http::StatusLine> status =
      http::ParsingResponseLine(head.substr(0, head.find('\n')));
  if (!status || status->status != kStatusOk) {
    return {};
  }
  std::string body(socket.Buffer().Data(), socket.Buffer().Count());
  char block[kBodyBlock];
  for (;;) {
    const int got = socket.Receive(block, kBodyBlock, timeouts.receive);
    if (got <= 0) {
      return body;
    }
    body.append(block, static_cast<size_t>(got));
  }
}

}  // namespace

std::string FetchUrl(const std::string& request, const std::string& host,
                     const UpdateTimeouts& timeouts) {
  try {
    return Fetch(request, host, timeouts);
  } catch (const net::CBlockingSocketException&) {
    return {};
  }
}

}  // namespace qlm::update
