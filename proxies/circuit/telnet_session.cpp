// The Telnet proxy's connection thread.
#include "proxies/circuit/telnet_session.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

#include "engine/connection_worker.h"
#include "net/wait_set.h"
#include "net/winsock_errors.h"

namespace qlm::circuit {
namespace {

using net::CBlockingSocketException;

unsigned PortOf(const sockaddr_in& address) { return ntohs(address.sin_port); }

}  // namespace

CTelnetSession::CTelnetSession(engine::ConnectionContext& context, CTelnetClient& client,
                               engine::ThreadTag thread)
    : context_(context),
      client_(client),
      thread_(thread),
      timeouts_(client.SessionTimeouts()),
      records_(engine::LogOpen() || engine::ActivityWanted()) {
  client_.GetPeerName();
  client_ip_ = net::DottedAddress(client_.PeerAddress().sin_addr);
  if (records_) {
    client_name_ = net::CBlockingSocket::LookupHostName(client_.PeerAddress());
    engine::ReportActivity(context_, thread_, engine::kRowMain, kTelnetFormatLogins,
                           client_ip_.c_str(), PortOf(client_.PeerAddress()),
                           client_name_.c_str());
  }
  client_.SetOutOfBadDisable();
  client_.SetLingerOn(timeouts_.linger);
}

void CTelnetSession::Refuse() {
  try {
    Reply(kReplyMaxConnections);
  } catch (const CBlockingSocketException&) {
    // The user has gone; the full proxy is still what is reported.
  }
  throw CBlockingSocketException(kTelnetTextLimited);
}

void CTelnetSession::Reply(const char* text) {
  const std::string line = std::string(text) + "\r\n";
  client_.SendAll(line.data(), static_cast<int>(line.size()), client_.CmdTimeouts().send);
}

void CTelnetSession::Run() {
  Reply(kTelnetGreeting);
  client_.SendTelnetCommand(ftp::kWill, ftp::kOptionEcho);
  client_.SendTelnetCommand(ftp::kWill, ftp::kOptionSuppressGoAhead);
  client_.SendTelnetCommand(ftp::kDo, ftp::kOptionEcho);
  client_.SendAll(kTelnetPrompt, static_cast<int>(std::strlen(kTelnetPrompt)),
                  client_.CmdTimeouts().send);
  const TelnetHostLine target = ReadHostLine();
  remote_address_ = net::MakeAddress("0.0.0.0", 0);
  if (!net::CBlockingSocket::ResolveAddress(target.host.c_str(), &remote_address_)) {
    Reply(kReplyBadHostname);
    char text[512];
    std::snprintf(text, sizeof text, kTelnetFormatUnresolved, target.host.c_str());
    throw CBlockingSocketException(text);
  }
  remote_address_.sin_family = AF_INET;
  remote_address_.sin_port = htons(target.port);
  Connect(target);
  remote_.GetSockName(&proxy_address_);
  if (records_) {
    Report(target);
  }
  while (RelayOnce() == Step::kGoOn) {
  }
}

TelnetHostLine CTelnetSession::ReadHostLine() {
  std::string line;
  if (client_.ReadCommandLine(&line, kTelnetLineSize) < 2) {
    throw CBlockingSocketException(kTelnetTextBadCommand);
  }
  line.resize(line.size() - 2);
  const auto target = ParseTelnetHostLine(line);
  if (!target) {
    Reply(kReplyBadHostname);
    char text[768];
    std::snprintf(text, sizeof text, kTelnetFormatBadHost, line.c_str());
    throw CBlockingSocketException(text, 0, net::kOtherExactFailed);
  }
  return *target;
}

void CTelnetSession::Connect(const TelnetHostLine& target) {
  try {
    remote_.Create(net::kStream);
    remote_.SetNonBlockingMode();
    remote_.ConnectNonBlock(remote_address_, timeouts_.connect);
    remote_.SetBlockingMode();
    remote_.SetOutOfBadDisable();
    remote_.SetLingerOn(timeouts_.linger);
  } catch (const CBlockingSocketException&) {
    try {
      Reply(kReplyConnectFails);
    } catch (const CBlockingSocketException&) {
      // The user has gone; the connect failure is still what is reported.
    }
    engine::WriteLog(thread_, engine::kKindError, kTelnetFormatConnectFailed, target.host.c_str());
    remote_.Close();
    throw;
  }
}

void CTelnetSession::Report(const TelnetHostLine& target) {
  const std::string remote_ip = net::DottedAddress(remote_address_.sin_addr);
  const std::string proxy_ip = net::DottedAddress(proxy_address_.sin_addr);
  engine::WriteLog(thread_, engine::kKindRecord, "%s",
                   engine::ActivityLine(kLabelTelnet, client_ip_.c_str(), client_name_.c_str(),
                                        remote_ip.c_str(), target.host.c_str(), target.port)
                       .c_str());
  engine::ReportActivity(context_, thread_, engine::kRowMain, kTelnetFormatSession,
                         client_ip_.c_str(), PortOf(client_.PeerAddress()), client_name_.c_str(),
                         proxy_ip.c_str(), PortOf(proxy_address_), remote_ip.c_str(),
                         PortOf(remote_address_), target.host.c_str());
}

CTelnetSession::Step CTelnetSession::RelayOnce() {
  net::CWaitSet set;
  set.AddShutdown();
  const size_t client_index = set.Add(client_.Handle(), POLLIN);
  const size_t remote_index = set.Add(remote_.Handle(), POLLIN);
  switch (set.Wait(timeouts_.idle)) {
    case net::CWaitSet::Result::kTimedOut:
      Reply(kReplySessionTimeout);
      EndBoth();
      return Step::kEnd;
    case net::CWaitSet::Result::kError:
      if (set.Error() == net::WSAEINTR || set.Error() == net::WSAENOTSOCK) {
        return Step::kEnd;
      }
      throw CBlockingSocketException(kTelnetTextSelect, set.Error());
    case net::CWaitSet::Result::kShutdown:
      return Step::kEnd;
    case net::CWaitSet::Result::kReady:
      break;
  }
  if (set.Ready(client_index, POLLIN) &&
      Move(client_, remote_, kTelnetTextClientRecv) == Step::kEnd) {
    return Step::kEnd;
  }
  if (set.Ready(remote_index, POLLIN) &&
      Move(remote_, client_, kTelnetTextRemoteRecv) == Step::kEnd) {
    return Step::kEnd;
  }
  return Step::kGoOn;
}

CTelnetSession::Step CTelnetSession::Move(net::CBlockingSocket& from, net::CBlockingSocket& to,
                                          const char* failure) {
  char buffer[kTelnetLineSize];
  int error = 0;
  const int count = from.ReceiveNow(buffer, sizeof buffer, &error);
  if (count < 0 && error == net::WSAEWOULDBLOCK) {
    return Step::kGoOn;
  }
  if (count == 0 || (count < 0 && (error == net::WSAENETRESET || error == net::WSAECONNRESET))) {
    EndBoth();
    return Step::kEnd;
  }
  if (count < 0) {
    throw CBlockingSocketException(failure, error);
  }
  to.SendAll(buffer, count, timeouts_.send);
  return Step::kGoOn;
}

void CTelnetSession::EndBoth() {
  client_.ShutdownReceive();
  client_.ShutdownSend();
  remote_.ShutdownReceive();
  remote_.ShutdownSend();
}

int TelnetThreadProc(engine::ConnectionContextPtr context) {
  static constexpr engine::WorkerTexts kTexts{.proc = kTelnetProcName,
                                              .no_client = kTelnetTextNoClient,
                                              .suffix = kTelnetSuffix};
  return engine::RunWorker<CTelnetSession>(std::move(context), kTexts);
}

}  // namespace qlm::circuit
