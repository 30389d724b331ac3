// The FTP-aware mapping's session: the log-in, the server connection, the
// relayed dialogue with its PORT rewriting, and the data connections.
#include "proxies/circuit/portmap_ftp_session.h"

#include <arpa/inet.h>
#include <poll.h>

#include <cstdio>

#include "engine/connection_thread.h"
#include "net/wait_set.h"
#include "net/winsock_errors.h"
#include "proxies/circuit/portmap_client_thread.h"
#include "proxies/circuit/portmap_wire.h"
#include "proxies/ftp_mail/ftp_arguments.h"
#include "proxies/ftp_mail/ftp_data_relay.h"
#include "proxies/ftp_mail/ftp_wire.h"

namespace qlm::circuit {

using net::CBlockingSocketException;

namespace {

constexpr size_t kCommandLineSize = 512;
constexpr int kServerChunk = 512;
constexpr int kDataListenBacklog = 5;

std::string Format(const char* format, const std::string& a, const std::string& b = {}) {
  char text[600];
  std::snprintf(text, sizeof text, format, a.c_str(), b.c_str());
  return text;
}

}  // namespace

CPortMapFtpSession::CPortMapFtpSession(engine::ConnectionContext& context, Client& client,
                                       engine::ThreadTag thread)
    : context_(context),
      client_(client),
      thread_(thread),
      listener_(static_cast<const engine::PortMapListener&>(*context.Daemon)),
      timeouts_(CurrentPortMapTimeouts()) {
  client_.GetPeerName();
  records_ = PortMapRecordsWanted();
  if (records_) {
    const sockaddr_in& peer = client_.PeerAddress();
    client_name_ = net::CBlockingSocket::LookupHostName(peer);
    engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatFtpLoginsActivity,
                           net::DottedAddress(peer.sin_addr).c_str(),
                           unsigned{ntohs(peer.sin_port)}, client_name_.c_str());
  }
  client_.SetOutOfBadDisable();
  client_.SetLingerOn(timeouts_.linger);
}

CPortMapFtpSession::~CPortMapFtpSession() = default;

void CPortMapFtpSession::Refuse() {
  client_.SendReply(ftp::kReplyLimited);
  throw CBlockingSocketException(kTextFtpLimited);
}

void CPortMapFtpSession::Run() {
  if (!net::CBlockingSocket::ResolveAddress(listener_.remote_server.c_str(), &server_address_)) {
    client_.SendReply(ftp::kReplyUnavailable);
    throw CBlockingSocketException(Format(kFormatFtpUnresolved, listener_.remote_server));
  }
  server_address_.sin_port = htons(static_cast<uint16_t>(listener_.remote_port));
  ConnectServer();
  if (records_) {
    Report();
  }
  while (ServeReady()) {
  }
}

void CPortMapFtpSession::ConnectServer() {
  try {
    server_.Create(net::kStream);
    server_.SetNonBlockingMode();
    server_.ConnectNonBlock(server_address_, timeouts_.outward_connect);
    server_.SetBlockingMode();
    server_.SetOutOfBadDisable();
    server_.SetLingerOn(timeouts_.linger);
    server_.GetSockName(&toward_server_);
  } catch (const CBlockingSocketException&) {
    client_.SendReply(ftp::kReplyLocalError);
    engine::WriteLog(thread_, engine::kKindError, kFormatFtpConnectFailed,
                     listener_.remote_server.c_str());
    server_.Close();
    throw;
  }
}

void CPortMapFtpSession::Report() {
  const sockaddr_in& peer = client_.PeerAddress();
  const std::string client_ip = net::DottedAddress(peer.sin_addr);
  const std::string server_ip = net::DottedAddress(server_address_.sin_addr);
  engine::WriteLog(thread_, engine::kKindRecord, "%s",
                   engine::ActivityLine(kLabelFtp, client_ip.c_str(), client_name_.c_str(),
                                        server_ip.c_str(), listener_.remote_server.c_str(),
                                        listener_.remote_port)
                       .c_str());
  engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatFtpActivity,
                         client_ip.c_str(), unsigned{ntohs(peer.sin_port)}, client_name_.c_str(),
                         net::DottedAddress(toward_server_.sin_addr).c_str(),
                         unsigned{ntohs(toward_server_.sin_port)}, server_ip.c_str(),
                         unsigned{ntohs(server_address_.sin_port)},
                         listener_.remote_server.c_str());
}

// The wait includes the engine's stop wake-up, like every other wait: a
// stop must end a mapping's dialogue too.
bool CPortMapFtpSession::ServeReady() {
  net::CWaitSet waits;
  waits.AddShutdown();
  const size_t client = waits.Add(client_.Handle(), POLLIN);
  const size_t server = waits.Add(server_.Handle(), POLLIN);
  const size_t data = data_listener_ ? waits.Add(data_listener_->Handle(), POLLIN) : 0;
  switch (waits.Wait(timeouts_.ftp_idle)) {
    case net::CWaitSet::Result::kTimedOut: {
      const std::string reply = kReplyFtpTimeOut;
      client_.SendAll(reply.data(), static_cast<int>(reply.size()), timeouts_.send);
      client_.ShutdownReceive();
      client_.ShutdownSend();
      return false;
    }
    case net::CWaitSet::Result::kShutdown:
      return false;
    case net::CWaitSet::Result::kError:
      if (waits.Error() == net::WSAEINTR || waits.Error() == net::WSAENOTSOCK) {
        return false;
      }
      throw CBlockingSocketException(kTextFtpSelect, waits.Error());
    case net::CWaitSet::Result::kReady:
      break;
  }
  if (waits.Ready(client, POLLIN) && !OnClientLine()) {
    return false;
  }
  if (waits.Ready(server, POLLIN) && !OnServerData()) {
    return false;
  }
  if (data_listener_ && waits.Ready(data, POLLIN)) {
    OnDataListener();
  }
  return true;
}

bool CPortMapFtpSession::OnClientLine() {
  std::string line;
  if (client_.ReadCommandLine(&line, kCommandLineSize) < 2) {
    return false;
  }
  line.resize(line.size() - 2);  // the CR LF
  if (ftp::CommandStartsWith(line, "pasv")) {
    client_.SendReply(ftp::kReplyNotImplemented);
  } else if (ftp::CommandStartsWith(line, "port")) {
    OnPort(line);
  } else {
    const std::string command = line + ftp::kLineEnd;
    server_.SendAll(command.data(), static_cast<int>(command.size()), timeouts_.send);
  }
  return true;
}

void CPortMapFtpSession::OnPort(const std::string& line) {
  const std::optional<ftp::HostPort> target = ftp::ParseHostPort(line.substr(4));
  if (!target) {
    client_.SendReply(ftp::kReplySyntaxError);
    engine::WriteLog(thread_, engine::kKindError, kFormatFtpSyntaxError, line.c_str());
    return;
  }
  const in_addr own = client_.PeerAddress().sin_addr;
  if (target->address.s_addr != own.s_addr) {
    client_.SendReply(ftp::kReplySyntaxError);
    engine::WriteLog(thread_, engine::kKindError, kFormatFtpPortOtherHost,
                     net::DottedAddress(target->address).c_str(), net::DottedAddress(own).c_str());
    return;
  }
  client_data_address_ = sockaddr_in{AF_INET, htons(target->port), target->address, {0}};
  data_listener_.reset();
  auto listener = std::make_unique<net::CBlockingSocket>();
  listener->Create(net::kStream);
  listener->Bind(sockaddr_in{AF_INET, 0, toward_server_.sin_addr, {0}});
  listener->Listen(kDataListenBacklog);
  sockaddr_in bound{};
  listener->GetSockName(&bound);
  data_listener_ = std::move(listener);
  const std::string command = ftp::FormatPortCommand(bound.sin_addr, ntohs(bound.sin_port)) +
                              ftp::kLineEnd;
  server_.SendAll(command.data(), static_cast<int>(command.size()), timeouts_.send);
}

bool CPortMapFtpSession::OnServerData() {
  char buffer[kServerChunk];
  int error = 0;
  const int got = server_.ReceiveNow(buffer, sizeof buffer, &error);
  if (got < 0 && (error == net::WSAEWOULDBLOCK || error == net::WSAEINTR)) {
    return true;
  }
  if (got == 0 || (got < 0 && (error == net::WSAENETRESET || error == net::WSAECONNRESET))) {
    server_.ShutdownReceive();
    server_.ShutdownSend();
    client_.ShutdownReceive();
    client_.ShutdownSend();
    return false;
  }
  if (got < 0) {
    throw CBlockingSocketException(kTextFtpServerRecv, error);
  }
  client_.SendAll(buffer, got, timeouts_.send);
  return true;
}

void CPortMapFtpSession::OnDataListener() {
  auto server_side = std::make_unique<ftp::CFtpDataSocket>(timeouts_.ftp_idle, timeouts_.send);
  sockaddr_in from{};
  bool accepted = false;
  try {
    accepted = data_listener_->Accept(*server_side, &from);
  } catch (const CBlockingSocketException&) {
    accepted = false;
  }
  if (!accepted) {
    data_listener_.reset();
    engine::WriteLog(thread_, engine::kKindError, "%s", kTextFtpDataAccept);
    return;
  }
  if (from.sin_addr.s_addr != server_address_.sin_addr.s_addr ||
      ntohs(from.sin_port) != ftp::kFtpDataPort) {
    engine::WriteLog(thread_, engine::kKindError, kFormatFtpDataOtherServer,
                     net::DottedAddress(from.sin_addr).c_str(), unsigned{ntohs(from.sin_port)});
    return;  // closed as it goes; the listener stays for the server's own
  }
  std::unique_ptr<net::CBlockingSocket> client_side;
  try {
    client_side = ConnectClientData();
  } catch (const CBlockingSocketException&) {
    engine::WriteLog(thread_, engine::kKindError, kFormatFtpClientConnectFailed,
                     net::DottedAddress(client_data_address_->sin_addr).c_str(),
                     unsigned{ntohs(client_data_address_->sin_port)});
    return;
  }
  server_side->SetOutOfBadDisable();
  server_side->SetLingerOn(timeouts_.linger);
  engine::ConnectionContextPtr copy = context_.CopyEmpty();
  copy->Client = std::move(server_side);
  copy->Peer = std::move(client_side);
  engine::StartConnectionThread(&ftp::FtpDataThreadProc, std::move(copy), listener_.name.c_str());
}

// From the data port of any local address, as the FTP server would connect.
std::unique_ptr<net::CBlockingSocket> CPortMapFtpSession::ConnectClientData() {
  auto socket = std::make_unique<net::CBlockingSocket>();
  socket->Create(net::kStream);
  socket->SetReuseAddr();
  socket->Bind(sockaddr_in{AF_INET, htons(ftp::kFtpDataPort), {htonl(INADDR_ANY)}, {0}});
  socket->SetNonBlockingMode();
  socket->ConnectNonBlock(*client_data_address_, timeouts_.data_connect);
  socket->SetBlockingMode();
  socket->SetOutOfBadDisable();
  socket->SetLingerOn(timeouts_.linger);
  return socket;
}

}  // namespace qlm::circuit
