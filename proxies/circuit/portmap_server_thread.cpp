// The port-mapping listener thread. Every listener is in its wait, however
// many there are: a configured mapping that silently does nothing would be
// a plainly wrong result.
#include "proxies/circuit/portmap_server_thread.h"

#include <arpa/inet.h>
#include <poll.h>

#include <vector>

#include "engine/activity_log.h"
#include "engine/connection_limit.h"
#include "engine/connection_thread.h"
#include "engine/log_throttle.h"
#include "net/wait_set.h"
#include "net/winsock_errors.h"
#include "proxies/circuit/portmap_client_thread.h"
#include "proxies/circuit/portmap_udp_thread.h"
#include "proxies/circuit/portmap_wire.h"

namespace qlm::circuit {
namespace {

constexpr size_t kDatagramBufferSize = 65536;

void AcceptConnection(engine::PortMapListener& listener, const engine::ConnectionContext& own) {
  std::unique_ptr<net::CBlockingSocket> client = MakePortMapClient(listener);
  sockaddr_in peer{};
  try {
    if (!listener.socket.Accept(*client, &peer)) {
      return;
    }
  } catch (const net::CBlockingSocketException& e) {
    engine::WriteLog(engine::ThisThread(), engine::kKindError, kFormatAcceptFailed, e.ErrorCode(),
                     net::WinsockErrorText(e.ErrorCode()));
    return;
  }
  engine::ConnectionContextPtr context = own.CopyEmpty();
  context->Client = std::move(client);
  context->Daemon = &listener;
  engine::StartConnectionThread(PortMapWorkerFor(listener), std::move(context),
                                listener.name.c_str());
}

void ReceiveDatagram(engine::PortMapListener& listener, const engine::ConnectionContext& own,
                     std::vector<char>& buffer) {
  static engine::CLogThrottle dropped;
  sockaddr_in from{};
  int length = 0;
  try {
    length = listener.socket.ReceiveDatagram(buffer.data(), static_cast<int>(buffer.size()),
                                             &from, net::Timeout::zero());
  } catch (const net::CBlockingSocketException& e) {
    engine::WriteLog(engine::ThisThread(), engine::kKindError, kFormatRecvFromFailed,
                     e.ErrorCode(), net::WinsockErrorText(e.ErrorCode()));
    return;
  }
  if (length < 0) {
    const int error = net::WSAENOTSOCK;
    engine::WriteLog(engine::ThisThread(), engine::kKindError, kFormatRecvFromFailed, error,
                     net::WinsockErrorText(error));
    return;
  }
  const unsigned sender_port = ntohs(from.sin_port);
  if (listener.client_port != 0 && sender_port != listener.client_port) {
    engine::WriteLog(engine::ThisThread(), engine::kKindError, kFormatSenderPortNotListed,
                     sender_port);
    return;
  }
  // A flood of datagrams must not start threads without end: with no slot
  // free the worker could only drop it, so no thread is started for it.
  if (engine::CConnectionLimit::Instance().Free() == 0) {
    if (dropped.Allow()) {
      engine::WriteLog(engine::ThisThread(), engine::kKindError, "%s", kTextDatagramsDropped);
    }
    return;
  }
  engine::ConnectionContextPtr context = own.CopyEmpty();
  context->Client = std::make_unique<net::CBlockingSocket>();
  context->Daemon = &listener;
  context->Data.assign(buffer.begin(), buffer.begin() + length);
  context->Address = from;
  engine::StartConnectionThread(&PortMapUdpThreadProc, std::move(context),
                                listener.name.c_str());
}

}  // namespace

int PortMapThreadProc(engine::ConnectionContextPtr context, const engine::PortMapList* listeners) {
  try {
    net::CWaitSet waits;
    for (const auto& listener : *listeners) {
      waits.Add(listener->socket.Handle(), POLLIN);
    }
    waits.AddShutdown();
    std::vector<char> buffer(kDatagramBufferSize);
    for (;;) {
      const net::CWaitSet::Result result = waits.Wait(net::kWaitForever);
      if (result == net::CWaitSet::Result::kError) {
        if (waits.Error() == net::WSAEINTR || waits.Error() == net::WSAENOTSOCK) {
          break;
        }
        throw net::CBlockingSocketException(kTextSelectFailed, waits.Error());
      }
      if (result != net::CWaitSet::Result::kReady) {
        break;  // the engine stops
      }
      for (size_t i = 0; i < listeners->size(); ++i) {
        if (!waits.Ready(i, POLLIN)) {
          continue;
        }
        engine::PortMapListener& listener = *(*listeners)[i];
        if (listener.type == net::kStream) {
          AcceptConnection(listener, *context);
        } else {
          ReceiveDatagram(listener, *context, buffer);
        }
      }
    }
  } catch (const net::CBlockingSocketException& e) {
    engine::WriteLog(engine::ThisThread(), engine::kKindError, "%s", e.GetErrorText().c_str());
  }
  return 0;
}

}  // namespace qlm::circuit
