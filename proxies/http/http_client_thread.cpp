// The connection thread: set-up, the request loop, forwarding with its one
// silent retry, the CONNECT tunnel, and the end of the connection.
#include "proxies/http/http_client_thread.h"

#include <cstdio>
#include <string>

#include "engine/activity_log.h"
#include "engine/connection_worker.h"
#include "engine/socks_pump.h"
#include "engine/stack_trim.h"
#include "net/winsock_errors.h"
#include "proxies/http/ftp_gateway.h"
#include "proxies/http/header_fields.h"
#include "proxies/http/http_client_socket.h"
#include "proxies/http/http_pump.h"
#include "proxies/http/http_server_socket.h"
#include "proxies/http/http_texts.h"

namespace qlm::http {

using net::CBlockingSocketException;

// One browser connection: its requests in turn, until one ends it.
class CHttpConnection {
 public:
  using Client = CHttpClientSocket;

  CHttpConnection(engine::ConnectionContext& context, CHttpClientSocket& client,
                  engine::ThreadTag thread)
      : context_(context), client_(client), config_(client.Config()), thread_(thread) {}

  void Run();
  // No connection slot: the browser gets the 503 reply.
  void Refuse();

 private:
  bool ServeOneRequest();
  void ForwardHttp(const std::string& line);
  void ConnectAndSend(const std::string& server_line, const std::string& head);
  void OpenTunnel(const std::string& line);
  void ReportRequest(const char* label, const std::string& line);

  engine::ConnectionContext& context_;
  CHttpClientSocket& client_;
  const HttpProxyConfig& config_;
  engine::ThreadTag thread_;
  CHttpServerSocket server_;
  std::string head_;
};

void CHttpConnection::Refuse() {
  client_.GetPeerName(&client_.peer_address_);
  client_.SendReply(Reply503());
  throw CBlockingSocketException(kTextLimited);
}

void CHttpConnection::Run() {
  client_.GetPeerName(&client_.peer_address_);
  client_.SetOutOfBadDisable();
  client_.SetLingerOn(config_.timeouts.linger);
  while (ServeOneRequest()) {
  }
}

// One request and its answer; true when the connection stays for another.
bool CHttpConnection::ServeOneRequest() {
  server_.close_flag_ = 1;
  size_t used = 0;
  if (client_.ReadRequest(&head_, &used, nullptr, config_.timeouts.client_request) ==
      LineTimedOut) {
    return false;
  }
  const auto line = ReadFirstLine(&head_);
  if (!line) {
    throw CBlockingSocketException(kTextOtherErrors);
  }
  client_.ResetRequest();
  if (client_.ProcessRequestLine(*line) == -2 || client_.HandleDialControl(*line) == 1) {
    return false;
  }
  client_.WaitForAutoDial(*line);
  switch (client_.request_.scheme_code) {
    case kSchemeHttp:
      ForwardHttp(*line);
      break;
    case kSchemeConnect:
      OpenTunnel(*line);
      return false;
    case kSchemeFtp: {
      // The gateway answers by itself and never keeps the connection.
      server_.Close();
      CFtpGateway gateway(context_, client_, config_, thread_);
      gateway.Serve(*line);
      return false;
    }
    default: {
      client_.SendReply(Reply501());
      char text[256];
      std::snprintf(text, sizeof(text), kFormatNotImplemented, client_.request_.scheme.c_str());
      throw CBlockingSocketException(text);
    }
  }
  if (server_.close_flag_ == 1 || !client_.IsOpen()) {
    return false;
  }
  // A request that came along with the last one is served at once.
  if (client_.Buffer().Count() > 0) {
    return true;
  }
  // A keep-alive browser may stay quiet a long time: after the settle time
  // the stack pages of this request are given back.
  const net::Timeout settle{engine::kStackSettleTime};
  const net::Timeout wait = config_.timeouts.keep_alive_wait;
  if (wait <= settle) {
    return client_.WaitReadable(wait);
  }
  if (client_.WaitReadable(settle)) {
    return true;
  }
  engine::ReleaseIdleStack();
  return client_.WaitReadable(wait - settle);
}

void CHttpConnection::ForwardHttp(const std::string& line) {
  const std::string server_line = client_.BuildServerRequestLine();
  client_.ProcessConnectionField(&head_);
  client_.AddHostField(&head_);
  ProcessViaHeader(&head_, client_.request_.version, LocalHostName(config_));
  ConnectAndSend(server_line, head_);
  ReportRequest(kLabelHttp, line);
  const bool reused = server_.reused_;
  CHttpPump pump(client_, server_, context_, config_);
  if (pump.PumpRequest(head_, config_.timeouts.request_relay) <= 0 && reused) {
    pump.AllowUnanswered();
  }
  pump.Pump(config_.timeouts.response_relay);
  if (pump.Unanswered()) {
    // The kept connection was closed under the request: once more on a new
    // one, as a failed send would have been.
    server_.Close();
    ConnectAndSend(server_line, head_);
    CHttpPump again(client_, server_, context_, config_);
    again.PumpRequest(head_, config_.timeouts.request_relay);
    again.Pump(config_.timeouts.response_relay);
  }
}

// Connect (or reuse) and send the head; the first failure is retried once on
// a new connection, since a kept connection the server closed meanwhile
// fails only here.
void CHttpConnection::ConnectAndSend(const std::string& server_line, const std::string& head) {
  const HttpRequestInfo& request = client_.request_;
  const net::Timeout send = config_.timeouts.request_relay;
  for (int attempt = 1;; ++attempt) {
    bool connected = false;
    try {
      if (server_.ConnectServer(request.host, request.port, config_.timeouts.server_connect) == 0) {
        throw CBlockingSocketException(kTextNotResolved);
      }
      connected = true;
      // One send for line and head: two small ones would wait on the
      // server's delayed acknowledgement.
      const std::string request = server_line + head;
      server_.SendAll(request.data(), static_cast<int>(request.size()), send);
      return;
    } catch (const CBlockingSocketException&) {
      server_.Close();
      if (attempt == 1) {
        continue;
      }
      client_.SendReply(connected ? Reply502(std::string(kMsgBadResponse) + request.host)
                                  : Reply400(std::string(kMsgFailToConnect) + request.host));
      throw;
    }
  }
}

void CHttpConnection::OpenTunnel(const std::string& line) {
  const HttpRequestInfo& request = client_.request_;
  try {
    if (server_.ConnectServer(request.host, request.port, config_.timeouts.server_connect) == 0) {
      throw CBlockingSocketException(kTextNotResolved);
    }
  } catch (const CBlockingSocketException&) {
    client_.SendReply(Reply400(std::string(kMsgConnectingTo) + request.host +
                               std::string(kMsgConnectingFailed)));
    throw;
  }
  ReportRequest(kLabelHttps, line);
  client_.SendBuffered(server_, config_.timeouts.request_relay);
  client_.SendAll(kTunnelEstablished.data(), static_cast<int>(kTunnelEstablished.size()),
                  config_.timeouts.request_relay);
  engine::CSocksPump pump(&client_, &server_, config_.timeouts.client_send);
  pump.Pump(config_.timeouts.tunnel_idle);
}

void CHttpConnection::ReportRequest(const char* label, const std::string& line) {
  const std::string server_ip = net::DottedAddress(server_.server_address_.sin_addr);
  engine::WriteLog(thread_, engine::kKindRecord, "%s",
                   engine::ActivityLine(label, client_.ClientAddress().c_str(),
                                        client_.ClientHostName().c_str(), server_ip.c_str(),
                                        client_.request_.host.c_str(), server_.server_port_,
                                        line.c_str())
                       .c_str());
  engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatRequestActivity,
                         client_.ClientAddress().c_str(),
                         client_.ClientHostName().c_str(),
                         net::DottedAddress(server_.local_address_.sin_addr).c_str(),
                         unsigned{ntohs(server_.local_address_.sin_port)}, server_ip.c_str(),
                         unsigned{server_.server_port_}, client_.request_.host.c_str(),
                         line.c_str());
}

int HttpClientThreadProc(engine::ConnectionContextPtr context) {
  static constexpr engine::WorkerTexts kTexts{.proc = "HttpClientThreadProc",
                                              .no_client = kTextOutOfMemory,
                                              .use_message = true,
                                              .suffix = kClosedSuffix};
  return engine::RunWorker<CHttpConnection>(std::move(context), kTexts);
}

}  // namespace qlm::http
