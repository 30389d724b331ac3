// The HTTP proxy's answer to an ftp URL: it logs on to the FTP server with
// its own FTP client and answers the browser in HTTP, a folder as an HTML
// page with one link per entry, a file streamed with a text or binary type.
// Only retrieval is offered; the connection ends after the answer.
#pragma once

#include <string>

#include "engine/activity_log.h"
#include "engine/connection_context.h"
#include "proxies/ftp_mail/ftp_client.h"
#include "proxies/http/http_client_socket.h"
#include "proxies/http/http_proxy_config.h"

namespace qlm::http {

class CFtpGateway {
 public:
  CFtpGateway(engine::ConnectionContext& context, CHttpClientSocket& client,
              const HttpProxyConfig& config, engine::ThreadTag thread);

  // Serves the parsed ftp request (`line` is its request line). Throws
  // "HttpClientThreadProc:Logon to remote FTP server <host> failed" after
  // the 400 page, and the socket layer's texts.
  void Serve(const std::string& line);

  // The listing of `path` relayed as HTML lines; false when no data
  // connection came about.
  bool ListDirectory(const std::string& path);
  // The file relayed with its head; false when the server refused it (the
  // path then names a folder, or nothing).
  bool RetrieveFile(const std::string& path);

 private:
  void Report(const std::string& line);
  void Send(const std::string& text);
  void RelayListing(net::CBlockingSocket& data);
  void SendListingLine(const std::string& line);

  engine::ConnectionContext& context_;
  CHttpClientSocket& client_;
  const HttpProxyConfig& config_;
  engine::ThreadTag thread_;
  ftp::FTPclient ftp_;
};

}  // namespace qlm::http
