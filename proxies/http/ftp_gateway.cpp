// The ftp branch of a request: log-on, the folder page or the file, QUIT.
#include "proxies/http/ftp_gateway.h"

#include <arpa/inet.h>
#include <strings.h>

#include <cstdio>

#include "proxies/http/ftp_gateway_text.h"
#include "proxies/http/ftp_gateway_wire.h"
#include "proxies/http/http_texts.h"

namespace qlm::http {
namespace {

constexpr const char* kListCommand = "LIST\r\n";
constexpr const char* kRetrieveCommand = "RETR ";

}  // namespace

CFtpGateway::CFtpGateway(engine::ConnectionContext& context, CHttpClientSocket& client,
                         const HttpProxyConfig& config, engine::ThreadTag thread)
    : context_(context),
      client_(client),
      config_(config),
      thread_(thread),
      ftp_(client.request_.user, client.request_.password, config.timeouts.ftp) {}

void CFtpGateway::Send(const std::string& text) {
  client_.SendAll(text.data(), static_cast<int>(text.size()), config_.timeouts.client_send);
}

void CFtpGateway::Serve(const std::string& line) {
  const HttpRequestInfo& request = client_.request_;
  const std::string path = DecodeFtpPath(request.path);
  if (!ftp_.FtpLogin(request.host, request.port)) {
    std::string body(kFtpLogonFailedBodyStart);
    body.append(EscapeHtml(ftp_.ReplyLine())).append(kFtpLogonFailedBodyEnd);
    client_.SendReply(ErrorReply(kStatus400, body));
    char text[512];
    std::snprintf(text, sizeof(text), kFormatFtpLogonFailed, request.host.c_str());
    throw net::CBlockingSocketException(text);
  }
  Report(line);
  if (!path.empty() && path.back() == '/') {
    Send(std::string(kFtpDirectoryHead));
    ListDirectory(path);
    Send(std::string(kFtpDirectoryEnd));
  } else if (!RetrieveFile(path)) {
    client_.SendReply(Reply302(request.path));
  }
  ftp_.Quit();
}

void CFtpGateway::Report(const std::string& line) {
  const HttpRequestInfo& request = client_.request_;
  const std::string server_ip = net::DottedAddress(ftp_.ServerAddress().sin_addr);
  const unsigned server_port = ntohs(ftp_.ServerAddress().sin_port);
  engine::WriteLog(thread_, engine::kKindRecord, "%s",
                   engine::ActivityLine(kLabelCernFtp, client_.ClientAddress().c_str(),
                                        client_.ClientHostName().c_str(), server_ip.c_str(),
                                        request.host.c_str(), server_port, line.c_str())
                       .c_str());
  const sockaddr_in& proxy = ftp_.LocalAddress();
  engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatRequestActivity,
                         client_.ClientAddress().c_str(), client_.ClientHostName().c_str(),
                         net::DottedAddress(proxy.sin_addr).c_str(),
                         unsigned{ntohs(proxy.sin_port)}, server_ip.c_str(), server_port,
                         request.host.c_str(), line.c_str());
}

bool CFtpGateway::ListDirectory(const std::string& path) {
  net::CBlockingSocket data;
  const bool opened = ftp_.OpenDataConnection(
      kListCommand, &data, [&] { return path == "/" || ftp_.CwdPath(path); });
  if (!opened) {
    return false;
  }
  RelayListing(data);
  data.ShutdownReceive();
  data.ShutdownSend();
  return true;
}

// Line by line to the end of the data; a line longer than the limit is
// passed on in pieces, so no server can make the proxy hold it all.
void CFtpGateway::RelayListing(net::CBlockingSocket& data) {
  std::string pending;
  char buffer[kFtpFileBlock];
  for (;;) {
    int got = 0;
    try {
      got = data.Receive(buffer, sizeof(buffer), config_.timeouts.ftp.reply);
    } catch (const net::CBlockingSocketException&) {
      got = 0;  // a listing that stalls ends the listing, not the page
    }
    if (got <= 0) {
      break;
    }
    pending.append(buffer, static_cast<size_t>(got));
    for (size_t lf = pending.find('\n'); lf != std::string::npos; lf = pending.find('\n')) {
      SendListingLine(pending.substr(0, lf + 1));
      pending.erase(0, lf + 1);
    }
    if (pending.size() > kFtpListingLineLimit) {
      SendListingLine(pending);
      pending.clear();
    }
  }
  if (!pending.empty()) {
    SendListingLine(pending);
  }
}

void CFtpGateway::SendListingLine(const std::string& line) {
  const std::string html = IsUnixListingLine(line) ? FormatListingLine(line) : PassListingLine(line);
  if (!html.empty()) {
    Send(html);
  }
}

bool CFtpGateway::RetrieveFile(const std::string& path) {
  std::string directory;
  std::string file;
  SplitPath(path, &directory, &file);
  net::CBlockingSocket data;
  const bool opened = ftp_.OpenDataConnection(
      kRetrieveCommand + file + "\r\n", &data,
      [&] { return strcasecmp(directory.c_str(), "/") == 0 || ftp_.CwdPath(directory); });
  if (!opened) {
    return false;
  }
  char block[kFtpFileBlock];
  bool head_sent = false;
  for (;;) {
    const int got = data.Receive(block, sizeof(block), config_.timeouts.ftp.reply);
    if (got <= 0) {
      break;
    }
    if (!head_sent) {
      const bool text = IsTextBlock(block, static_cast<size_t>(got)) == kTextBlock;
      Send(std::string(text ? kFtpTextHead : kFtpBinaryHead));
      head_sent = true;
    }
    client_.SendAll(block, got, config_.timeouts.client_send);
  }
  if (!head_sent) {
    Send(std::string(kFtpEmptyFileHead));
  }
  data.ShutdownReceive();
  data.ShutdownSend();
  return true;
}

}  // namespace qlm::http
