// The plain TCP mapping's worker.
#include "proxies/circuit/portmap_client_thread.h"

#include <arpa/inet.h>

#include <cstdio>
#include <mutex>

#include "engine/activity_log.h"
#include "engine/connection_worker.h"
#include "engine/socks_pump.h"
#include "proxies/circuit/portmap_ftp_thread.h"
#include "proxies/circuit/portmap_wire.h"
#include "proxies/ftp_mail/ftp_cmd_socket.h"

namespace qlm::circuit {

using net::CBlockingSocketException;

namespace {

std::mutex timeouts_mutex;
PortMapTimeouts timeouts_in_use;  // Guarded by timeouts_mutex

class CPortMapSession {
 public:
  using Client = net::CBlockingSocket;

  // The client's own checks come before it may take a slot: its socket
  // set-up and its source port.
  CPortMapSession(engine::ConnectionContext& context, Client& client, engine::ThreadTag thread)
      : context_(context),
        client_(client),
        thread_(thread),
        listener_(static_cast<const engine::PortMapListener&>(*context.Daemon)),
        timeouts_(CurrentPortMapTimeouts()) {
    client_.SetOutOfBadDisable();
    client_.SetLingerOn(timeouts_.linger);
    client_.GetPeerName(&peer_);
    if (listener_.client_port != 0 && ntohs(peer_.sin_port) != listener_.client_port) {
      throw CBlockingSocketException(kTextBadClientPort);
    }
  }

  void Refuse() { throw CBlockingSocketException(kTextTcpLimited); }

  void Run() {
    sockaddr_in destination = net::MakeAddress("0.0.0.0", static_cast<uint16_t>(listener_.remote_port));
    if (!net::CBlockingSocket::ResolveAddress(listener_.remote_server.c_str(), &destination)) {
      char text[512];
      std::snprintf(text, sizeof text, kFormatUnresolved, listener_.remote_server.c_str());
      throw CBlockingSocketException(text);
    }
    destination.sin_port = htons(static_cast<uint16_t>(listener_.remote_port));
    outward_.Create(net::kStream);
    outward_.SetReuseAddr();
    outward_.Bind(net::MakeAddress("0.0.0.0", static_cast<uint16_t>(listener_.out_port)));
    outward_.SetNonBlockingMode();
    outward_.ConnectNonBlock(destination, timeouts_.outward_connect);
    outward_.SetBlockingMode();
    outward_.SetOutOfBadDisable();
    outward_.SetLingerOn(timeouts_.linger);
    sockaddr_in proxy{};
    outward_.GetSockName(&proxy);
    if (PortMapRecordsWanted()) {
      Report(destination, proxy);
    }
    engine::CSocksPump pump(&client_, &outward_, timeouts_.send);
    pump.Pump(timeouts_.relay_idle);
  }

 private:
  void Report(const sockaddr_in& destination, const sockaddr_in& proxy) {
    const std::string client_ip = net::DottedAddress(peer_.sin_addr);
    const std::string client_name = net::CBlockingSocket::LookupHostName(peer_);
    const std::string remote_ip = net::DottedAddress(destination.sin_addr);
    engine::WriteLog(thread_, engine::kKindRecord, "%s",
                     engine::ActivityLine(kLabelTcp, client_ip.c_str(), client_name.c_str(),
                                          remote_ip.c_str(), listener_.remote_server.c_str(),
                                          listener_.remote_port)
                         .c_str());
    engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatTcpActivity,
                           listener_.name.c_str(), client_ip.c_str(), unsigned{ntohs(peer_.sin_port)},
                           client_name.c_str(), net::DottedAddress(proxy.sin_addr).c_str(),
                           unsigned{ntohs(proxy.sin_port)}, remote_ip.c_str(),
                           unsigned{ntohs(destination.sin_port)}, listener_.remote_server.c_str());
  }

  engine::ConnectionContext& context_;
  Client& client_;
  engine::ThreadTag thread_;
  const engine::PortMapListener& listener_;
  PortMapTimeouts timeouts_;
  sockaddr_in peer_{};
  net::CBlockingSocket outward_;  // closed with the session, after the slot
};

}  // namespace

void SetPortMapTimeouts(const PortMapTimeouts& timeouts) {
  std::lock_guard lock(timeouts_mutex);
  timeouts_in_use = timeouts;
}

PortMapTimeouts CurrentPortMapTimeouts() {
  std::lock_guard lock(timeouts_mutex);
  return timeouts_in_use;
}

// The rule compares exactly: "FTP" makes a mapping FTP-aware.
std::unique_ptr<net::CBlockingSocket> MakePortMapClient(const engine::PortMapListener& listener) {
  if (listener.rule == kRuleFtp) {
    return std::make_unique<ftp::CFtpCmdSocket>();
  }
  return std::make_unique<net::CBlockingSocket>();
}

engine::ConnectionThreadProc PortMapWorkerFor(const engine::PortMapListener& listener) {
  return listener.rule == kRuleFtp ? &PortMapFTPClientThreadProc : &PortMapClientThreadProc;
}

bool PortMapRecordsWanted() { return engine::LogOpen() || engine::ActivityWanted(); }

int PortMapClientThreadProc(engine::ConnectionContextPtr context) {
  static constexpr engine::WorkerTexts kTexts{.proc = "PortMapClientThreadProc",
                                              .no_client = kTextNoClient,
                                              .suffix = kSuffixTcp};
  return engine::RunWorker<CPortMapSession>(std::move(context), kTexts);
}

}  // namespace qlm::circuit
