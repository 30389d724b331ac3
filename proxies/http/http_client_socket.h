// CHttpClientSocket: the proxy's side of a browser's connection. Reads and
// vets each request, keeps what the request asked for, answers the requests
// the proxy serves itself (refusals, redirect, dial-control pages) and
// prepares the head of a request that goes on to a server.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/connection_context.h"
#include "proxies/http/http_blocking_socket.h"
#include "proxies/http/http_proxy_config.h"
#include "proxies/http/request_line.h"

namespace qlm::http {

class CHttpClientSocket : public CHttpBlockingSocket {
 public:
  // Works from the proxy's configuration as it stands now.
  CHttpClientSocket();
  ~CHttpClientSocket() override;

  void SetConfig(std::shared_ptr<const HttpProxyConfig> config);
  const HttpProxyConfig& Config() const { return *config_; }

  // CHttpBlockingSocket overrides
  // ReadRequest.
  int ReadHeaderBlock(std::string* block, size_t* used, net::CBlockingSocket* other,
                      net::Timeout timeout) override;

  // Reads a request head: 0 read, 6 silent for `timeout`. Every other outcome
  // throws; a head too large for the block first gets the 414 reply.
  int ReadRequest(std::string* block, size_t* used, net::CBlockingSocket* other,
                  net::Timeout timeout);

  bool ParsingRequestLine(const std::string& line);
  // 0 continue, -2 redirect sent; throws after sending a refusal.
  int ProcessRequestLine(const std::string& line);
  int ParseURI(const std::string& uri);
  bool ParseHostPort(const std::string& authority);
  bool ParseConnectTarget(const std::string& target);

  // The dial-control pages and the dial-up-disconnected page: 1 when a page
  // was sent and the connection must end.
  int HandleDialControl(const std::string& line);
  // Dials on demand when the line is down and dialling is wanted: 1 when a
  // dial was started and waited for.
  int WaitForAutoDial(const std::string& line);

  std::string BuildServerRequestLine() const;
  // Request connection fields; sets the close flag. Returns 1.
  int ProcessConnectionField(std::string* block);
  int AddHostField(std::string* block) const;
  static int64_t GetContentLength(const std::string& text);

  // Sends `reply` with the client send time-out.
  void SendReply(const std::string& reply);
  // A fresh request: fields of the previous one are forgotten.
  void ResetRequest();

  // The client's dotted address and host name (looked up once).
  const std::string& ClientAddress();
  const std::string& ClientHostName();
  // The activity line of a dial-control action or a dial on demand.
  void LogDialAction(const char* label, const std::string& line);

  HttpRequestInfo request_;

 private:
  std::shared_ptr<const HttpProxyConfig> config_;
  std::string client_address_;
  std::string client_host_name_;
};

}  // namespace qlm::http
