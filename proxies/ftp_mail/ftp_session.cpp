// The FTP proxy session: set-up, the main wait, the relay of the server's
// replies and the thread procedure. Commands are in ftp_session_commands.cpp,
// data connections in ftp_session_data.cpp.
#include "proxies/ftp_mail/ftp_session.h"

#include <arpa/inet.h>

#include "engine/connection_worker.h"
#include "net/wait_set.h"
#include "net/winsock_errors.h"

namespace qlm::ftp {

CFtpSession::CFtpSession(engine::ConnectionContext& context, CFtpProxyClient& client,
                         engine::ThreadTag thread)
    : context_(context),
      client_(client),
      thread_(thread),
      config_(client.Config()),
      server_(config_.timeouts.server) {}

void CFtpSession::Prepare() {
  client_.GetPeerName();
  client_ip_ = net::DottedAddress(client_.PeerAddress().sin_addr);
  if (engine::LogOpen() || engine::ActivityWanted()) {
    client_name_ = net::CBlockingSocket::LookupHostName(client_.PeerAddress(), kHostNameSize);
  }
  engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatLoginsActivity,
                         client_ip_.c_str(), unsigned{ntohs(client_.PeerAddress().sin_port)},
                         client_name_.c_str());
  client_.SetOutOfBadDisable();
  client_.SetLingerOn(config_.timeouts.linger);
}

void CFtpSession::Refuse() {
  Prepare();
  client_.SendReply(kReplyLimited);
  throw net::CBlockingSocketException(kTextLimited);
}

void CFtpSession::Run() {
  Prepare();
  client_.SendReply(kReplyWelcome);
  while (WaitAndServe() == Step::kGoOn) {
  }
}

CFtpSession::Step CFtpSession::WaitAndServe() {
  net::CWaitSet set;
  const size_t client_index = set.Add(client_.Handle(), POLLIN);
  set.AddShutdown();
  const bool with_server = logged_in_ && server_.IsOpen();
  const size_t server_index = with_server ? set.Add(server_.Handle(), POLLIN) : 0;
  const bool with_listener = listener_ != nullptr;
  const size_t listener_index = with_listener ? set.Add(listener_->Handle(), POLLIN) : 0;
  switch (set.Wait(config_.timeouts.idle)) {
    case net::CWaitSet::Result::kTimedOut:
      client_.SendReply(kReplyTimeOut);
      client_.ShutdownReceive();
      client_.ShutdownSend();
      return Step::kEnd;
    case net::CWaitSet::Result::kError:
      if (set.Error() == net::WSAEINTR || set.Error() == net::WSAENOTSOCK) {
        return Step::kEnd;
      }
      throw net::CBlockingSocketException(kTextSelect, set.Error());
    case net::CWaitSet::Result::kShutdown:
      return Step::kEnd;
    case net::CWaitSet::Result::kReady:
      break;
  }
  const unsigned generation = generation_;
  if (set.Ready(client_index, POLLIN) && OnClientReadable() == Step::kEnd) {
    return Step::kEnd;
  }
  if (generation != generation_) {
    return Step::kGoOn;  // the sockets waited on have changed: wait again
  }
  if (with_server && set.Ready(server_index, POLLIN) && RelayServer() == Step::kEnd) {
    return Step::kEnd;
  }
  if (with_listener && set.Ready(listener_index, POLLIN)) {
    OnDataListener();
  }
  return Step::kGoOn;
}

CFtpSession::Step CFtpSession::OnClientReadable() {
  std::string line;
  if (client_.ReadCommandLine(&line, kCommandLineSize) < 2) {
    return Step::kEnd;
  }
  line.resize(line.size() - 2);
  if (!logged_in_) {
    return BeforeLogon(line);
  }
  AfterLogon(line);
  return Step::kGoOn;
}

CFtpSession::Step CFtpSession::RelayServer() {
  char buffer[kRelayChunk];
  int error = 0;
  const int got = server_.ReceiveNow(buffer, sizeof(buffer), &error);
  if (got > 0) {
    RelayToClient(buffer, static_cast<size_t>(got));
    return Step::kGoOn;
  }
  if (got == 0 || error == net::WSAECONNRESET || error == net::WSAENETRESET) {
    EndBoth();
    return Step::kEnd;
  }
  if (error == net::WSAEWOULDBLOCK) {
    return Step::kGoOn;
  }
  throw net::CBlockingSocketException(kTextServerRecv, error);
}

void CFtpSession::RelayToClient(const char* data, size_t size) {
  client_.SendAll(data, static_cast<int>(size), config_.timeouts.relay_send);
}

void CFtpSession::EndBoth() {
  server_.ShutdownReceive();
  server_.ShutdownSend();
  client_.ShutdownReceive();
  client_.ShutdownSend();
}

int FtpCmdThreadProc(engine::ConnectionContextPtr context) {
  static constexpr engine::WorkerTexts kTexts{.proc = kProcName,
                                              .no_client = kTextNoClient,
                                              .use_message = true,
                                              .suffix = kSuffixConnection};
  return engine::RunWorker<CFtpSession>(std::move(context), kTexts);
}

}  // namespace qlm::ftp
