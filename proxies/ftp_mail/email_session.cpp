// The e-mail proxy's connection thread.
#include "proxies/ftp_mail/email_session.h"

#include <arpa/inet.h>

#include <chrono>
#include <cstdio>
#include <optional>

#include "dialup/dial_up_manager.h"
#include "engine/connection_worker.h"
#include "engine/socks_pump.h"
#include "net/host_addresses.h"
#include "proxies/ftp_mail/mail_line_reader.h"

namespace qlm::ftp::mail {
namespace {

using net::CBlockingSocketException;
using Clock = std::chrono::steady_clock;

engine::EmailSettings SettingsOf(const engine::ConnectionContext& context) {
  // A stream daemon's connections always come from a daemon listener record.
  const auto* record = static_cast<const engine::DaemonRecord*>(context.Daemon);
  if (record != nullptr && record->email != nullptr) {
    return *record->email;
  }
  return {};
}

unsigned PortOf(const sockaddr_in& address) { return ntohs(address.sin_port); }

// Looked up once: the resolver is not asked again for every connection.
const std::string& HostContactDomain() {
  static const std::string domain = [] {
    const std::string own = net::HostDomainName();
    return own.empty() ? std::string(kFallbackContactDomain) : own;
  }();
  return domain;
}

}  // namespace

CEmailSession::CEmailSession(engine::ConnectionContext& context, CEmailClient& client,
                             engine::ThreadTag thread)
    : context_(context),
      client_(client),
      thread_(thread),
      timeouts_(client.Timeouts()),
      settings_(SettingsOf(context)),
      records_(engine::LogOpen() || engine::ActivityWanted()) {
  client_.SetOutOfBadDisable();
  client_.SetLingerOn(timeouts_.linger);
  client_.GetPeerName(&peer_);
  client_ip_ = net::DottedAddress(peer_.sin_addr);
  if (records_) {
    client_name_ = net::CBlockingSocket::LookupHostName(peer_);
  }
  engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatRequests, client_ip_.c_str(),
                         PortOf(peer_), client_name_.c_str());
}

void CEmailSession::Refuse() { throw CBlockingSocketException(kTextLimited); }

void CEmailSession::Run() {
  DialIfWanted();
  smtp_ = context_.Daemon != nullptr &&
          static_cast<uint32_t>(context_.Daemon->port) == settings_.SmtpProxyPort;
  if (smtp_) {
    server_host_ = settings_.SmtpS_ip;
    server_port_ = static_cast<uint16_t>(settings_.SmtpPort);
  } else {
    server_host_ = settings_.Pop3S_ip;
    server_port_ = static_cast<uint16_t>(settings_.Pop3Port);
    GreetAndReadUser();
  }
  ConnectServer();
  if (smtp_) {
    if (records_) {
      ReportSmtp();
    }
  } else {
    TakeServerGreeting();
    server_.SendAll(user_line_.data(), static_cast<int>(user_line_.size()), timeouts_.send);
    if (records_) {
      ReportPop3();
    }
  }
  engine::CSocksPump pump(&server_, &client_, timeouts_.send);
  pump.Pump(timeouts_.relay_idle);
}

void CEmailSession::DialIfWanted() {
  auto& dialup = dialup::DialUpManager::Instance();
  if (!dialup.AutoDialWanted(false)) {
    return;
  }
  dialup.RequestDial();
  engine::WriteLog(thread_, engine::kKindRecord, "%s",
                   engine::ActivityLine(kLabelDial, client_ip_.c_str(), client_name_.c_str(), "-",
                                        "-", 0, kDialRequests)
                       .c_str());
  dialup.WaitForConnection();
}

void CEmailSession::GreetAndReadUser() {
  const std::string& domain =
      settings_.ContactDomain.empty() ? HostContactDomain() : settings_.ContactDomain;
  const std::string greeting = kGreetingHead + domain + kGreetingTail;
  client_.SendAll(greeting.data(), static_cast<int>(greeting.size()), timeouts_.send);
  const std::string line = ReadLine(client_, kUserLineSize);
  if (line.empty()) {
    throw CBlockingSocketException(kTextBadUser);
  }
  engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatUserLine, client_ip_.c_str(),
                         PortOf(peer_), client_name_.c_str(), line.c_str());
  UserLineSplit split = SplitUserLine(line, settings_.Pop3Delimiter);
  user_line_ = std::move(split.line);
  if (split.host) {
    server_host_ = std::move(*split.host);
  }
}

std::string CEmailSession::ReadLine(net::CBlockingSocket& socket, size_t size) {
  CMailLineReader reader(size);
  std::optional<Clock::time_point> deadline;
  while (!reader.Done()) {
    net::Timeout wait = timeouts_.receive;
    if (deadline) {
      const auto left = std::chrono::duration_cast<net::Timeout>(*deadline - Clock::now());
      wait = std::max(net::Timeout{0}, std::min(wait, left));
    }
    char byte = 0;
    try {
      if (socket.Receive(&byte, 1, wait) != 1) {
        break;
      }
    } catch (const CBlockingSocketException&) {
      break;  // a failed receive ends the line with what has arrived
    }
    if (!deadline) {
      deadline = Clock::now() + timeouts_.line;
    }
    size_t used = 0;
    reader.Feed(reinterpret_cast<const uint8_t*>(&byte), 1, &used);
  }
  return reader.Line();
}

void CEmailSession::ConnectServer() {
  if (server_host_.empty()) {
    throw CBlockingSocketException(kTextNoServer);
  }
  server_address_ = net::MakeAddress("0.0.0.0", 0);
  if (!net::CBlockingSocket::ResolveAddress(server_host_.c_str(), &server_address_)) {
    char text[512];
    std::snprintf(text, sizeof text, kFormatUnresolved, server_host_.c_str());
    throw CBlockingSocketException(text);
  }
  server_address_.sin_family = AF_INET;
  server_address_.sin_port = htons(server_port_);
  server_.Create(net::kStream);
  server_.SetReuseAddr();
  server_.Bind(net::MakeAddress("0.0.0.0", 0));
  server_.SetNonBlockingMode();
  server_.ConnectNonBlock(server_address_, timeouts_.connect);
  server_.SetBlockingMode();
  server_.SetOutOfBadDisable();
  server_.SetLingerOn(timeouts_.linger);
  server_.GetSockName(&proxy_address_);
}

void CEmailSession::TakeServerGreeting() {
  // The client already has the proxy's greeting; the server's is only checked.
  if (!IsPositiveGreeting(ReadLine(server_, kGreetingSize))) {
    throw CBlockingSocketException(kTextBadGreeting);
  }
}

void CEmailSession::ReportSmtp() {
  const std::string server_ip = net::DottedAddress(server_address_.sin_addr);
  const std::string proxy_ip = net::DottedAddress(proxy_address_.sin_addr);
  engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatSend, client_ip_.c_str(),
                         PortOf(peer_), client_name_.c_str(), proxy_ip.c_str(),
                         PortOf(proxy_address_), server_ip.c_str(), PortOf(server_address_),
                         server_host_.c_str());
  engine::WriteLog(thread_, engine::kKindRecord, "%s",
                   engine::ActivityLine(kLabelSmtp, client_ip_.c_str(), client_name_.c_str(),
                                        server_ip.c_str(), server_host_.c_str(), server_port_)
                       .c_str());
}

void CEmailSession::ReportPop3() {
  const std::string server_ip = net::DottedAddress(server_address_.sin_addr);
  const std::string proxy_ip = net::DottedAddress(proxy_address_.sin_addr);
  engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatReceive, server_ip.c_str(),
                         PortOf(server_address_), server_host_.c_str(), proxy_ip.c_str(),
                         PortOf(proxy_address_), client_ip_.c_str(), PortOf(peer_),
                         client_name_.c_str());
  engine::WriteLog(thread_, engine::kKindRecord, "%s",
                   engine::ActivityLine(kLabelPop3, server_ip.c_str(), server_host_.c_str(),
                                        client_ip_.c_str(), client_name_.c_str(), PortOf(peer_))
                       .c_str());
}

int EmailThreadProc(engine::ConnectionContextPtr context) {
  static constexpr engine::WorkerTexts kTexts{
      .proc = kProcName, .no_client = kTextNoClient, .limit = &engine::CConnectionLimit::Instance};
  return engine::RunWorker<CEmailSession>(std::move(context), kTexts);
}

}  // namespace qlm::ftp::mail
