// CHttpServerSocket: the proxy's connection to an origin server. It lives for
// the whole client connection and is reused for the next request to the same
// host and port while the exchanges allow keep-alive; it also parses each
// response's status line and rebuilds it for the client.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "proxies/http/http_blocking_socket.h"

namespace qlm::http {

class CHttpServerSocket : public CHttpBlockingSocket {
 public:
  CHttpServerSocket();
  ~CHttpServerSocket() override;

  // 1: connected, or the open connection to the same host (ignoring case) and
  // port is kept because it is writable and has nothing pending (a server
  // that closed or sent stray bytes meanwhile gets a new connection). 0: the
  // host does not resolve. Throws the socket layer's exception (the socket
  // is then closed). `timeout` bounds the connect.
  int ConnectServer(const std::string& host, uint16_t port, net::Timeout timeout);
  // Always a new connection; an unresolved host throws
  // "HttpClientThreadProc:Remote Host is not resolved!". Returns 1.
  int ConnectServerNew(const std::string& host, uint16_t port, net::Timeout timeout);

  // Parses the status line into version, status and reason: 1, or 0 malformed.
  int ParsingResponseLine(std::string_view line);
  // Sends the status line rebuilt from its parts; the bytes sent.
  int SendStatusLine(net::CBlockingSocket& client, net::Timeout timeout);

  sockaddr_in server_address_{};
  std::string server_host_;
  uint16_t server_port_ = 0;
  sockaddr_in local_address_{};
  int status_ = 0;
  std::string version_;
  std::string reason_;
  // The last ConnectServer kept the open connection.
  bool reused_ = false;

 private:
  void Open(const sockaddr_in& address, const std::string& host, uint16_t port,
            net::Timeout timeout);
};

}  // namespace qlm::http
