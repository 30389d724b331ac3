// The FTP proxy's data connections: the server connects to the listener
// announced in its PORT command, the proxy connects to the client's data
// address from its own data port, and a thread of its own relays the two.
#include <arpa/inet.h>

#include "engine/connection_thread.h"
#include "proxies/ftp_mail/ftp_data_relay.h"
#include "proxies/ftp_mail/ftp_session.h"

namespace qlm::ftp {

CFtpSession::~CFtpSession() = default;

void CFtpSession::OnDataListener() {
  const FtpTimeouts& timeouts = config_.timeouts;
  auto server_side = std::make_unique<CFtpDataSocket>(timeouts.data_idle, timeouts.relay_send);
  sockaddr_in from{};
  bool accepted = false;
  try {
    accepted = listener_->Accept(*server_side, &from);
  } catch (const net::CBlockingSocketException&) {
    accepted = false;
  }
  if (!accepted || !client_data_address_) {
    listener_.reset();
    ++generation_;
    engine::WriteLog(thread_, engine::kKindError, "%s", kTextDataAccept);
    return;
  }
  if (ntohs(from.sin_port) != kFtpDataPort ||
      from.sin_addr.s_addr != server_.ServerAddress().sin_addr.s_addr) {
    engine::WriteLog(thread_, engine::kKindError, kFormatDataWrongHost,
                     net::DottedAddress(from.sin_addr).c_str(), unsigned{ntohs(from.sin_port)});
    return;  // closed as it goes; the listener stays for the server's own
  }
  std::unique_ptr<net::CBlockingSocket> client_side;
  try {
    client_side = ConnectClientData();
    server_side->SetOutOfBadDisable();
    server_side->SetLingerOn(timeouts.linger);
  } catch (const net::CBlockingSocketException&) {
    engine::WriteLog(thread_, engine::kKindError, kFormatDataConnectFailed,
                     net::DottedAddress(client_data_address_->sin_addr).c_str(),
                     unsigned{ntohs(client_data_address_->sin_port)});
    return;
  }
  engine::ConnectionContextPtr copy = context_.CopyEmpty();
  copy->Client = std::move(server_side);
  copy->Peer = std::move(client_side);
  engine::StartConnectionThread(&FtpDataThreadProc, std::move(copy), "FTP");
}

// From the data port of any local address, as an FTP server would connect.
std::unique_ptr<net::CBlockingSocket> CFtpSession::ConnectClientData() {
  auto socket = std::make_unique<net::CBlockingSocket>();
  socket->Create(net::kStream);
  socket->SetReuseAddr();
  socket->Bind(sockaddr_in{AF_INET, htons(kFtpDataPort), {htonl(INADDR_ANY)}, {0}});
  socket->SetNonBlockingMode();
  socket->ConnectNonBlock(*client_data_address_, config_.timeouts.data_connect);
  socket->SetBlockingMode();
  socket->SetOutOfBadDisable();
  socket->SetLingerOn(config_.timeouts.linger);
  return socket;
}

}  // namespace qlm::ftp
