// The SOCKS connection thread: set-up, version detection, the request,
// CONNECT with its relay, the refusal of other protocols, and the end of the
// connection that every path reaches.
#include "proxies/socks/client_thread.h"

#include <arpa/inet.h>

#include <cstdio>

#include "engine/connection_worker.h"
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

void CSocksSession::Refuse() { throw CBlockingSocketException(kTextLimited); }

void CSocksSession::Run() {
  client_.SetOutOfBadDisable();
  client_.SetLingerOn(client_.Timeouts().linger);
  client_.GetPeerName(&client_.client_address_);
  char first = 0;
  if (client_.Receive(&first, 1, client_.Timeouts().handshake) != 1) {
    throw CBlockingSocketException(kTextClientClosed, 0, net::kOtherExactFailed);
  }
  // The rest of the handshake is due within one handshake wait of its first
  // byte, not within one wait per byte.
  client_.SetReceiveDeadline(client_.Timeouts().handshake);
  const uint8_t version = DetectVersion(static_cast<uint8_t>(first));
  if (version == 0) {
    WrongVersion(static_cast<uint8_t>(first));
    return;
  }
  ReadRequest(version);
  client_.ClearReceiveDeadline();
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
  outward_.ConnectOutward(client_.dest_socket_address_, timeouts.outward_connect,
                          timeouts.linger);
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

int ClientThreadProc(engine::ConnectionContextPtr context) {
  static constexpr engine::WorkerTexts kTexts{.proc = "ClientThreadProc",
                                              .no_client = kTextClientClosed};
  return engine::RunWorker<CSocksSession>(std::move(context), kTexts);
}

}  // namespace qlm::socks
