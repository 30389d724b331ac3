// The UDP mapping's worker.
#include "proxies/circuit/portmap_udp_thread.h"

#include <arpa/inet.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "engine/activity_log.h"
#include "engine/connection_worker.h"
#include "engine/port_map_listener.h"
#include "net/borrowed_socket.h"
#include "proxies/circuit/portmap_client_thread.h"
#include "proxies/circuit/portmap_wire.h"

namespace qlm::circuit {

using net::CBlockingSocketException;

namespace {

constexpr int kReturnBufferSize = 65536;

class CPortMapUdpSession {
 public:
  using Client = net::CBlockingSocket;

  CPortMapUdpSession(engine::ConnectionContext& context, Client& client, engine::ThreadTag thread)
      : context_(context),
        outgoing_(client),
        thread_(thread),
        listener_(static_cast<const engine::PortMapListener&>(*context.Daemon)),
        timeouts_(CurrentPortMapTimeouts()),
        sender_(context.Address) {}

  void Refuse() { throw CBlockingSocketException(kTextUdpLimited); }

  void Run() {
    sockaddr_in destination = net::MakeAddress("0.0.0.0", 0);
    if (!net::CBlockingSocket::ResolveAddress(listener_.remote_server.c_str(), &destination)) {
      char text[512];
      std::snprintf(text, sizeof text, kFormatUdpUnresolved, listener_.remote_server.c_str());
      throw CBlockingSocketException(text);
    }
    destination.sin_port = htons(static_cast<uint16_t>(listener_.remote_port));
    records_ = PortMapRecordsWanted();
    if (records_) {
      sender_name_ = net::CBlockingSocket::LookupHostName(sender_);
      ReportForward(destination);
    }
    outgoing_.Create(net::kDatagram);
    outgoing_.SetReuseAddr();
    outgoing_.Bind(net::MakeAddress("0.0.0.0", static_cast<uint16_t>(listener_.out_port)));
    outgoing_.SendDatagram(context_.Data.data(), static_cast<int>(context_.Data.size()),
                           destination, timeouts_.send);
    if (listener_.bi_udp) {
      ReturnOneMessage(destination);
    }
  }

 private:
  // Waits for the destination's answer (other senders' datagrams are
  // dropped, within the same overall wait) and passes it back from the
  // mapping's own address and port, the one the client sent to: a client
  // with a connected socket takes replies from nowhere else.
  void ReturnOneMessage(const sockaddr_in& destination) {
    std::vector<char> reply(kReturnBufferSize);
    sockaddr_in from{};
    const auto deadline = std::chrono::steady_clock::now() + timeouts_.return_wait;
    int got = 0;
    do {
      const auto left = std::chrono::duration_cast<net::Timeout>(
          deadline - std::chrono::steady_clock::now());
      if (left <= net::Timeout::zero()) {
        return;
      }
      got = outgoing_.ReceiveDatagram(reply.data(), kReturnBufferSize, &from, left);
      if (got <= 0) {
        return;
      }
    } while (from.sin_addr.s_addr != destination.sin_addr.s_addr);
    // From the mapping's own socket: a client with a connected socket takes
    // replies from that port only.
    net::CBorrowedSocket mapping_socket(listener_.socket.Handle());
    mapping_socket.SendDatagram(reply.data(), got, sender_, timeouts_.send);
    if (records_) {
      ReportReturn(from);
    }
  }

  void ReportForward(const sockaddr_in& destination) {
    const std::string sender_ip = net::DottedAddress(sender_.sin_addr);
    const std::string remote_ip = net::DottedAddress(destination.sin_addr);
    engine::WriteLog(thread_, engine::kKindRecord, "%s",
                     engine::ActivityLine(kLabelUdp, sender_ip.c_str(), sender_name_.c_str(),
                                          remote_ip.c_str(), listener_.remote_server.c_str(),
                                          listener_.remote_port)
                         .c_str());
    engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatUdpActivity,
                           listener_.name.c_str(), sender_ip.c_str(),
                           unsigned{ntohs(sender_.sin_port)}, sender_name_.c_str(),
                           static_cast<unsigned>(listener_.port), remote_ip.c_str(),
                           unsigned{ntohs(destination.sin_port)}, listener_.remote_server.c_str());
  }

  void ReportReturn(const sockaddr_in& from) {
    const std::string reply_ip = net::DottedAddress(from.sin_addr);
    const std::string sender_ip = net::DottedAddress(sender_.sin_addr);
    engine::WriteLog(thread_, engine::kKindRecord, "%s",
                     engine::ActivityLine(kLabelUdp, reply_ip.c_str(),
                                          listener_.remote_server.c_str(), sender_ip.c_str(),
                                          sender_name_.c_str(), ntohs(sender_.sin_port))
                         .c_str());
    engine::ReportActivity(context_, thread_, engine::kRowMain, kFormatUdpReturnActivity,
                           listener_.name.c_str(), reply_ip.c_str(), unsigned{ntohs(from.sin_port)},
                           listener_.remote_server.c_str(), listener_.out_port, sender_ip.c_str(),
                           unsigned{ntohs(sender_.sin_port)}, sender_name_.c_str());
  }

  engine::ConnectionContext& context_;
  Client& outgoing_;  // the context's socket: closed with the context
  engine::ThreadTag thread_;
  const engine::PortMapListener& listener_;
  PortMapTimeouts timeouts_;
  sockaddr_in sender_;
  bool records_ = false;
  std::string sender_name_;
};

}  // namespace

int PortMapUdpThreadProc(engine::ConnectionContextPtr context) {
  static constexpr engine::WorkerTexts kTexts{.proc = "PortMapUdpThreadProc",
                                              .no_client = kTextNoClient,
                                              .suffix = kSuffixUdp};
  return engine::RunWorker<CPortMapUdpSession>(std::move(context), kTexts);
}

}  // namespace qlm::circuit
