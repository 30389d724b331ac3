// The client's commands: before log-on only QUIT, USER and NOOP are
// understood; after it everything is relayed except PASV (refused) and PORT
// (rewritten to a listener of the proxy's own).
#include <arpa/inet.h>

#include <cstdio>

#include "engine/activity_log.h"
#include "proxies/ftp_mail/ftp_arguments.h"
#include "proxies/ftp_mail/ftp_session.h"

namespace qlm::ftp {
namespace {

constexpr const char* kQuit = "quit";
constexpr const char* kUser = "user";
constexpr const char* kNoop = "noop";
constexpr const char* kPasv = "pasv";
constexpr const char* kPort = "port";
constexpr size_t kCommandNameSize = 4;

}  // namespace

CFtpSession::Step CFtpSession::BeforeLogon(const std::string& line) {
  if (CommandIs(line, kQuit)) {
    client_.SendReply(kReplyGoodBye);
    return Step::kEnd;
  }
  if (CommandStartsWith(line, kUser)) {
    OpenServer(line);
  } else if (CommandStartsWith(line, kNoop)) {
    client_.SendReply(kReplyOffline);
  } else {
    client_.SendReply(kReplyUnavailable);
  }
  return Step::kGoOn;
}

void CFtpSession::AfterLogon(const std::string& line) {
  if (CommandStartsWith(line, kPasv)) {
    client_.SendReply(kReplyNotImplemented);
  } else if (CommandStartsWith(line, kPort)) {
    RewritePort(line);
  } else {
    const std::string command = line + kLineEnd;
    server_.SendAll(command.data(), static_cast<int>(command.size()),
                    config_.timeouts.relay_send);
  }
}

// A failed USER leaves the session as it was, so the client may try again.
void CFtpSession::OpenServer(const std::string& line) {
  const std::optional<UserAtHost> named = SplitUserAtHost(line);
  if (!named) {
    client_.SendReply(kReplySyntaxError);
    engine::WriteLog(thread_, engine::kKindError, kFormatSyntaxError, line.c_str());
    return;
  }
  user_ = named->user;
  host_ = named->host;
  bool greeted = false;
  try {
    server_.FtpConnect(host_, config_.server_port);
    greeted = server_.GetReply() && server_.ReplyClass() == kClassCompletion;
  } catch (const net::CBlockingSocketException&) {
    greeted = false;
  }
  if (!greeted) {
    server_.Close();
    client_.SendReply(kReplyLocalError);
    engine::WriteLog(thread_, engine::kKindError, kFormatConnectFailed, host_.c_str(),
                     user_.c_str());
    return;
  }
  char text[kReplyTextSize];
  std::snprintf(text, sizeof(text) - 2, ReplyText(kReplyUserCommand), user_.c_str());
  const std::string command = std::string(text) + kLineEnd;
  try {
    server_.SendAll(command.data(), static_cast<int>(command.size()),
                    config_.timeouts.relay_send);
  } catch (const net::CBlockingSocketException&) {
    client_.SendReply(kReplyLocalError);
    engine::WriteLog(thread_, engine::kKindError, kFormatLoginFailed, host_.c_str(),
                     user_.c_str());
    server_.Close();
    return;
  }
  logged_in_ = true;
  ++generation_;
  ReportLogon();
  // Whatever the server sent after its greeting is the client's to see.
  const std::string early = server_.TakeBuffered();
  if (!early.empty()) {
    RelayToClient(early.data(), early.size());
  }
}

void CFtpSession::ReportLogon() {
  const std::string server_ip = net::DottedAddress(server_.ServerAddress().sin_addr);
  const unsigned server_port = ntohs(server_.ServerAddress().sin_port);
  engine::WriteLog(thread_, engine::kKindRecord, "%s",
                   engine::ActivityLine(kLabelFtp, client_ip_.c_str(), client_name_.c_str(),
                                        server_ip.c_str(), host_.c_str(), server_port)
                       .c_str());
  const sockaddr_in& proxy = server_.LocalAddress();
  engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatSessionActivity,
                         client_ip_.c_str(), unsigned{ntohs(client_.PeerAddress().sin_port)},
                         client_name_.c_str(), net::DottedAddress(proxy.sin_addr).c_str(),
                         unsigned{ntohs(proxy.sin_port)}, server_ip.c_str(), server_port,
                         host_.c_str());
}

void CFtpSession::RewritePort(const std::string& line) {
  const std::optional<HostPort> named = ParseHostPort(line.substr(kCommandNameSize));
  if (!named) {
    client_.SendReply(kReplySyntaxError);
    engine::WriteLog(thread_, engine::kKindError, kFormatSyntaxError, line.c_str());
    return;
  }
  // Data connections go only to the client's own address, never to a third
  // host the client names (the FTP bounce).
  if (named->address.s_addr != client_.PeerAddress().sin_addr.s_addr) {
    client_.SendReply(kReplySyntaxError);
    engine::WriteLog(thread_, engine::kKindError, kFormatPortForeign,
                     net::DottedAddress(named->address).c_str(), client_ip_.c_str());
    return;
  }
  sockaddr_in data{AF_INET, htons(named->port), named->address, {0}};
  client_data_address_ = data;
  NewDataListener();
}

void CFtpSession::NewDataListener() {
  listener_.reset();
  ++generation_;
  auto listener = std::make_unique<net::CBlockingSocket>();
  sockaddr_in address = server_.LocalAddress();
  address.sin_port = 0;
  listener->Create(net::kStream);
  listener->Bind(address);
  listener->GetSockName(&address);
  listener->Listen(kDataListenBacklog);
  listener_ = std::move(listener);
  const std::string command =
      FormatPortCommand(address.sin_addr, ntohs(address.sin_port)) + kLineEnd;
  server_.SendAll(command.data(), static_cast<int>(command.size()), config_.timeouts.relay_send);
}

}  // namespace qlm::ftp
