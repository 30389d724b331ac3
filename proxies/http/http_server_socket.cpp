// Connecting to the origin server, keeping the connection, and the status line.
#include "proxies/http/http_server_socket.h"

#include <arpa/inet.h>

#include "proxies/http/header_fields.h"
#include "proxies/http/http_texts.h"
#include "proxies/http/response_line.h"

namespace qlm::http {
namespace {


bool Resolve(const std::string& host, uint16_t port, sockaddr_in* address) {
  *address = sockaddr_in{};
  address->sin_family = AF_INET;
  if (!net::CBlockingSocket::ResolveAddress(host.c_str(), address)) {
    return false;
  }
  address->sin_family = AF_INET;
  address->sin_port = htons(port);
  return true;
}

}  // namespace

CHttpServerSocket::CHttpServerSocket() {
  server_address_.sin_family = AF_INET;
  local_address_.sin_family = AF_INET;
}

CHttpServerSocket::~CHttpServerSocket() = default;

int CHttpServerSocket::ConnectServer(const std::string& host, uint16_t port,
                                     net::Timeout timeout) {
  if (IsOpen() && port == server_port_ && EqualsIgnoreCase(host, server_host_) && IsWritable() &&
      Buffer().Count() == 0 && !WaitReadable(net::Timeout(0))) {
    reused_ = true;
    return 1;
  }
  reused_ = false;
  sockaddr_in address{};
  if (!Resolve(host, port, &address)) {
    return 0;
  }
  Open(address, host, port, timeout);
  return 1;
}

int CHttpServerSocket::ConnectServerNew(const std::string& host, uint16_t port,
                                        net::Timeout timeout) {
  sockaddr_in address{};
  if (!Resolve(host, port, &address)) {
    throw net::CBlockingSocketException(kTextNotResolved);
  }
  Open(address, host, port, timeout);
  return 1;
}

void CHttpServerSocket::Open(const sockaddr_in& address, const std::string& host,
                             uint16_t port, net::Timeout timeout) {
  Close();
  Buffer().Clear();  // bytes of the old connection never reach the new exchange
  server_host_ = host;
  server_port_ = port;
  server_address_ = address;
  try {
    ConnectOutward(address, timeout);
    GetSockName(&local_address_);
  } catch (const net::CBlockingSocketException&) {
    Close();
    throw;
  }
}

int CHttpServerSocket::ParsingResponseLine(std::string_view line) {
  auto parsed = http::ParsingResponseLine(line);
  if (!parsed) {
    return 0;
  }
  status_ = parsed->status;
  version_ = parsed->version;
  reason_ = parsed->reason;
  return 1;
}

int CHttpServerSocket::SendStatusLine(net::CBlockingSocket& client, net::Timeout timeout) {
  const std::string line = FormatStatusLine(StatusLine{version_, status_, reason_});
  return client.SendAll(line.data(), static_cast<int>(line.size()), timeout);
}

}  // namespace qlm::http
