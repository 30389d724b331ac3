// The RealAudio connection thread: greeting, dialog, server connection and
// the records of a new connection; the relay is in realaudio_relay.cpp.
#include "proxies/circuit/realaudio_session.h"

#include <arpa/inet.h>

#include <cstdio>

#include "engine/connection_worker.h"
#include "proxies/circuit/realaudio_thread.h"

namespace qlm::circuit {

using net::CBlockingSocketException;

namespace {

// Activity lines and records are built only when someone reads them.
bool RecordsWanted() { return engine::LogOpen() || engine::ActivityWanted(); }

}  // namespace

std::string IpText(const sockaddr_in& address) { return net::DottedAddress(address.sin_addr); }
unsigned PortOf(const sockaddr_in& address) { return ntohs(address.sin_port); }
unsigned PortOf(uint16_t network_port) { return ntohs(network_port); }

CRealAudioSession::CRealAudioSession(engine::ConnectionContext& context, RealAudioSocket& client,
                                     engine::ThreadTag thread)
    : rows_(context.CopyEmpty()), client_(client), thread_(thread), timeouts_(client.Timeouts()) {}

CRealAudioSession::~CRealAudioSession() {
  engine::EndActivity(*rows_, thread_, kRowData);
  engine::EndActivity(*rows_, thread_, kRowResend);
}

void CRealAudioSession::Greet() {
  client_.SetOutOfBadDisable();
  client_.SetLingerOn(timeouts_.linger);
  client_.GetPeerName(&client_.client_address_);
  client_.SendVersion();
}

void CRealAudioSession::Refuse() {
  Greet();
  client_.SendStatus(kStatusNoConnect, kStatusTextLimited);
  ShutDownBoth();
  throw CBlockingSocketException(kTextLimited);
}

void CRealAudioSession::Run() {
  try {
    Serve();
  } catch (const CBlockingSocketException&) {
    ShutDownBoth();
    throw;
  }
  ShutDownBoth();
}

void CRealAudioSession::Serve() {
  Greet();
  client_.CheckVersion();
  client_.ProxySetup();
  Resolve();
  ConnectServer();
  ReportConnection();
  client_.SendStatus(kStatusSuccess, kStatusTextSuccess);
  if (client_.tcp_only_ == 0) {
    OpenChannels();
  }
  Relay();
}

void CRealAudioSession::Resolve() {
  // A host name replaces the whole address record; the dialog's port stays.
  const in_port_t port = client_.server_address_.sin_port;
  const bool resolved =
      net::CBlockingSocket::ResolveAddress(client_.host_.c_str(), &client_.server_address_);
  client_.server_address_.sin_port = port;
  if (!resolved) {
    client_.SendStatus(kStatusNoConnect, kStatusTextNoConnect);
    char text[512];
    std::snprintf(text, sizeof(text), kFormatUnresolved, client_.host_.c_str());
    throw CBlockingSocketException(text);
  }
}

void CRealAudioSession::ConnectServer() {
  sockaddr_in& server = client_.server_address_;
  server.sin_family = AF_INET;
  try {
    server_.ConnectOutward(server, timeouts_.outward_connect, timeouts_.linger);
    server_.GetSockName(&sides_.server_side);
  } catch (const CBlockingSocketException&) {
    client_.SendStatus(kStatusNoConnect, kStatusTextNoConnect);
    server_.Close();
    engine::WriteLog(thread_, engine::kKindError, kFormatConnectFailed, client_.host_.c_str());
    throw;
  }
  client_.GetSockName(&sides_.player_side);
  sides_.player = client_.client_address_;
  sides_.server = server;
}

void CRealAudioSession::ReportConnection() {
  if (!RecordsWanted()) {
    return;
  }
  const sockaddr_in& client = client_.client_address_;
  const sockaddr_in& server = client_.server_address_;
  client_name_ = net::CBlockingSocket::LookupHostName(client);
  const std::string client_ip = IpText(client);
  const std::string server_ip = IpText(server);
  engine::WriteLog(thread_, engine::kKindRecord, "%s",
                   engine::ActivityLine(kActivityLabel, client_ip.c_str(), client_name_.c_str(),
                                        server_ip.c_str(), client_.host_.c_str(), PortOf(server))
                       .c_str());
  engine::ReportActivity(*rows_, thread_, engine::kRowMain, kFormatActivity, client_ip.c_str(),
                         PortOf(client), client_name_.c_str(), IpText(sides_.server_side).c_str(),
                         PortOf(sides_.server_side), server_ip.c_str(), PortOf(server),
                         client_.host_.c_str());
}

void CRealAudioSession::OpenChannels() {
  ProxyUdpSetup(client_, server_, sides_, &channels_);
  if (!RecordsWanted()) {
    return;
  }
  sockaddr_in data_side{};
  if (channels_.from_server.IsOpen()) {
    channels_.from_server.GetSockName(&data_side);
  }
  engine::ReportActivity(*rows_, thread_, kRowData, kFormatDataActivity,
                         IpText(sides_.player).c_str(), PortOf(channels_.player_data),
                         client_name_.c_str(), IpText(sides_.server_side).c_str(),
                         PortOf(data_side), IpText(sides_.server).c_str(), client_.host_.c_str());
}

void CRealAudioSession::ReportResend() {
  if (!RecordsWanted()) {
    return;
  }
  sockaddr_in d{};
  sockaddr_in c{};
  channels_.from_player.GetSockName(&d);
  channels_.to_server.GetSockName(&c);
  engine::ReportActivity(*rows_, thread_, kRowResend, kFormatResendActivity,
                         IpText(sides_.player).c_str(), PortOf(channels_.player_resend),
                         client_name_.c_str(), IpText(sides_.player_side).c_str(), PortOf(d),
                         PortOf(c), IpText(sides_.server).c_str(),
                         PortOf(channels_.server_resend), client_.host_.c_str());
}

// Both ways, before the sockets close. What the player sent and nobody read
// is dropped first: closing over unread bytes would reset the connection and
// could take the last status frame with it.
void CRealAudioSession::ShutDownBoth() {
  client_.DrainInput();
  if (server_.IsOpen()) {
    server_.ShutdownReceive();
    server_.ShutdownSend();
  }
  client_.ShutdownReceive();
  client_.ShutdownSend();
}

int RealAudioThreadProc(engine::ConnectionContextPtr context) {
  static constexpr engine::WorkerTexts kTexts{
      .proc = "RealAudioThreadProc", .no_client = kTextNoClient, .suffix = kErrSuffix};
  return engine::RunWorker<CRealAudioSession>(std::move(context), kTexts);
}

}  // namespace qlm::circuit
