// The SOCKS connection thread: set-up, version detection, the request,
// CONNECT with its relay, the refusal of other protocols, and the end of the
// connection that every path reaches.
#include "proxies/socks/client_thread.h"

#include <arpa/inet.h>

#include <cstdio>
#include <optional>

#include "engine/connection_limit.h"
#include "engine/socks_pump.h"
#include "proxies/socks/socks_parse.h"
#include "proxies/socks/socks_session.h"

namespace qlm::socks {

using net::CBlockingSocketException;

bool RecordsWanted() { return engine::LogOpen() || engine::ActivityWanted(); }

std::string IpText(const sockaddr_in& address) { return net::DottedAddress(address.sin_addr); }

std::string IpText(uint32_t address) {
  in_addr in{};
  in.s_addr = address;
  return net::DottedAddress(in);
}

unsigned PortOf(const sockaddr_in& address) { return ntohs(address.sin_port); }

std::string HostNameOf(const sockaddr_in& address) {
  return RecordsWanted() ? net::CBlockingSocket::LookupHostName(address, kHostNameSize)
                         : std::string();
}

void CSocksSession::Run() {
  char first = 0;
  if (client_.Receive(&first, 1, client_.Timeouts().handshake) != 1) {
    throw CBlockingSocketException(kTextClientClosed, 0, net::kOtherExactFailed);
  }
  const uint8_t version = DetectVersion(static_cast<uint8_t>(first));
  if (version == 0) {
    WrongVersion(static_cast<uint8_t>(first));
    return;
  }
  ReadRequest(version);
  reply_.version = client_.version_;
  switch (client_.command_) {
    case kCmdConnect:
      Connect();
      break;
    case kCmdBind:
      Bind();
      break;
    case kCmdUdpAssociate:
      UdpAssociate();
      break;
    default:
      break;  // not reachable after the checks of the request; no reply
  }
}

void CSocksSession::ReadRequest(uint8_t version) {
  if (version == kVersion4) {
    client_.GetSocks4Dest();
    client_.GetSRCUser();
    return;
  }
  if (!client_.Socks5Auth()) {
    throw CBlockingSocketException(kTextAuthFails);
  }
  const uint8_t result = client_.GetSocks5Dest();
  if (result != kRepSucceeded) {
    SocksReply refusal;
    refusal.version = kVersion5;
    refusal.code = result;
    client_.SendSocksReply(refusal);
    throw CBlockingSocketException(kTextInvalidRequest);
  }
}

// A client of another protocol: a sample of what it sent goes into the
// error text, so the administrator can tell which program knocked.
void CSocksSession::WrongVersion(uint8_t first_byte) {
  char sample[kWrongVersionSample] = {};
  int got = 0;
  try {
    got = client_.Receive(sample, sizeof(sample), client_.Timeouts().handshake);
  } catch (const CBlockingSocketException&) {
    engine::WriteLog(thread_, engine::kKindError, "%s", kTextWrongVersionRead);
    throw;
  }
  const std::string dump = WrongVersionDump(
      first_byte, reinterpret_cast<const uint8_t*>(sample), got > 0 ? static_cast<size_t>(got) : 0);
  char text[kWrongVersionDumpSize + 64];
  std::snprintf(text, sizeof(text), kFormatWrongVersion, dump.c_str());
  throw CBlockingSocketException(text);
}

void CSocksSession::Connect() {
  const SocksTimeouts& timeouts = client_.Timeouts();
  outward_.Create(net::kStream);
  outward_.SetNonBlockingMode();
  outward_.ConnectNonBlock(client_.dest_socket_address_, timeouts.outward_connect);
  outward_.SetBlockingMode();
  outward_.SetOutOfBadDisable();
  outward_.SetLingerOn(timeouts.linger_seconds);
  sockaddr_in proxy{};
  outward_.GetSockName(&proxy);
  reply_.address = proxy.sin_addr.s_addr;
  reply_.port = proxy.sin_port;
  client_.SendSocksSuccess(reply_);

  if (RecordsWanted()) {
    const sockaddr_in& remote = client_.dest_socket_address_;
    const sockaddr_in& client = client_.client_address_;
    const std::string remote_name = HostNameOf(remote);
    const std::string client_name = HostNameOf(client);
    const std::string remote_ip = IpText(remote);
    const std::string client_ip = IpText(client);
    engine::WriteLog(thread_, engine::kKindRecord, "%s",
                     engine::ActivityLine(kLabelConnect, client_ip.c_str(), client_name.c_str(),
                                          remote_ip.c_str(), remote_name.c_str(), PortOf(remote))
                         .c_str());
    engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatConnectActivity,
                           client_ip.c_str(), PortOf(client), client_name.c_str(),
                           client_.user_name_.c_str(), IpText(proxy).c_str(), PortOf(proxy),
                           remote_ip.c_str(), PortOf(remote), remote_name.c_str());
  }
  engine::CSocksPump pump(&client_, &outward_, timeouts.handshake);
  pump.Pump(timeouts.relay_idle);
}

namespace {

// Set-up of the client connection and the session; any failure is thrown.
void Serve(CClientSocket& client, std::optional<engine::CConnectionSlot>& slot,
           CSocksSession& session) {
  client.SetOutOfBadDisable();
  client.SetLingerOn(client.Timeouts().linger_seconds);
  client.GetPeerName(&client.client_address_);
  slot.emplace();
  if (!slot->Taken()) {
    throw CBlockingSocketException(kTextLimited);
  }
  session.Run();
}

}  // namespace

int ClientThreadProc(engine::ConnectionContextPtr context) {
  auto* client = dynamic_cast<CClientSocket*>(context->Client.get());
  std::optional<engine::CConnectionSlot> slot;
  std::optional<CSocksSession> session;
  const engine::ThreadTag thread = engine::ThisThread();
  try {
    if (client == nullptr) {
      throw CBlockingSocketException(kTextClientClosed);
    }
    session.emplace(*context, *client);
    Serve(*client, slot, *session);
  } catch (const CBlockingSocketException& e) {
    engine::WriteLog(thread, engine::kKindError, "%s", e.GetErrorText().c_str());
  }
  engine::EndActivity(*context, thread, engine::kRowMain);
  // The context goes first (it closes the client), then the slot, then the
  // sockets the session opened for BIND and outward.
  context.reset();
  slot.reset();
  if (session) {
    session->Accepted().Close();
    session->Outward().Close();
  }
  return 0;
}

}  // namespace qlm::socks
