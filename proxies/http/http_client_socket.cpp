// Reading a request head and preparing a request for its server.
#include "proxies/http/http_client_socket.h"
#include "proxies/http/http_texts.h"

#include "engine/activity_log.h"
#include "proxies/http/connection_fields.h"
#include "proxies/http/header_fields.h"

namespace qlm::http {

CHttpClientSocket::CHttpClientSocket() : config_(HttpProxyConfiguration()) {}

CHttpClientSocket::~CHttpClientSocket() = default;

void CHttpClientSocket::SetConfig(std::shared_ptr<const HttpProxyConfig> config) {
  config_ = std::move(config);
}

int CHttpClientSocket::ReadHeaderBlock(std::string* block, size_t* used,
                                       net::CBlockingSocket* other, net::Timeout timeout) {
  return ReadRequest(block, used, other, timeout);
}

int CHttpClientSocket::ReadRequest(std::string* block, size_t* used, net::CBlockingSocket* other,
                                   net::Timeout timeout) {
  // The whole head is due within one request wait of its first byte, however
  // slowly the client sends it.
  TimeHeadFromFirstByte(timeout);
  const int result = CHttpBlockingSocket::ReadHeaderBlock(block, used, other, timeout);
  StopTimingHead();
  switch (result) {
    case LineRead:
    case LineTimedOut:
      return result;
    case LineTooLong:
      SendReply(Reply414());
      throw net::CBlockingSocketException(kTextVeryLarge);
    case LineNetworkError: throw net::CBlockingSocketException(kTextNetworkError);
    case LineBufferLimit: throw net::CBlockingSocketException(kTextLineTooLarge);
    case LineClosed: throw net::CBlockingSocketException(kTextClientCloses);
    case LineUnsafe: throw net::CBlockingSocketException(kTextUnsafe);
    default: throw net::CBlockingSocketException(kTextOtherErrors);
  }
}

std::string CHttpClientSocket::BuildServerRequestLine() const {
  return http::BuildServerRequestLine(request_);
}

int CHttpClientSocket::ProcessConnectionField(std::string* block) {
  close_flag_ = ProcessRequestConnectionField(block, request_.version);
  return 1;
}

int CHttpClientSocket::AddHostField(std::string* block) const {
  return http::AddHostField(block, request_.host, request_.port);
}

int64_t CHttpClientSocket::GetContentLength(const std::string& text) {
  return http::GetContentLength(text);
}

void CHttpClientSocket::SendReply(const std::string& reply) {
  SendAll(reply.data(), static_cast<int>(reply.size()), config_->timeouts.client_send);
}

void CHttpClientSocket::ResetRequest() { request_ = HttpRequestInfo{}; }

const std::string& CHttpClientSocket::ClientAddress() {
  if (client_address_.empty()) {
    client_address_ = net::DottedAddress(peer_address_.sin_addr);
  }
  return client_address_;
}

const std::string& CHttpClientSocket::ClientHostName() {
  if (client_host_name_.empty()) {
    client_host_name_ = LookupHostName(peer_address_, 256);
    if (client_host_name_.empty()) {
      client_host_name_ = "unknown";
    }
  }
  return client_host_name_;
}

void CHttpClientSocket::LogDialAction(const char* label, const std::string& line) {
  engine::WriteLog(engine::ThisThread(), engine::kKindRecord, "%s",
                   engine::ActivityLine(label, ClientAddress().c_str(), ClientHostName().c_str(),
                                        "-", "-", 0, line.c_str())
                       .c_str());
}

}  // namespace qlm::http
