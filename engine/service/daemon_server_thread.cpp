// The daemon dispatcher.
#include "engine/service/daemon_server_thread.h"

#include <poll.h>

#include <algorithm>

#include "engine/activity_log.h"
#include "engine/connection_thread.h"
#include "engine/service/protocol_table.h"
#include "engine/service/service_texts.h"
#include "net/blocking_socket_exception.h"
#include "net/wait_set.h"
#include "net/winsock_errors.h"

namespace qlm::engine {

namespace {

// An accepted connection of a daemon without a protocol: logged and closed.
void AcceptUnknown(DaemonRecord& daemon) {
  net::CBlockingSocket client;
  sockaddr_in peer{};
  try {
    if (!daemon.socket.Accept(client, &peer)) {
      return;
    }
  } catch (const net::CBlockingSocketException& e) {
    WriteLog(ThisThread(), kKindError, kAcceptFailedFormat, e.ErrorCode(),
             net::WinsockErrorText(e.ErrorCode()));
    return;
  }
  WriteLog(ThisThread(), kKindError, "%s", kAcceptNeverText);
}

void AcceptStream(DaemonRecord& daemon, const ConnectionContext& own) {
  const StreamProtocol* protocol = FindStreamProtocol(daemon.name);
  if (protocol == nullptr) {
    AcceptUnknown(daemon);
    return;
  }
  std::unique_ptr<net::CBlockingSocket> client = protocol->make_client();
  sockaddr_in peer{};
  try {
    if (!daemon.socket.Accept(*client, &peer)) {
      return;
    }
  } catch (const net::CBlockingSocketException& e) {
    WriteLog(ThisThread(), kKindError, kAcceptFailedFormat, e.ErrorCode(),
             net::WinsockErrorText(e.ErrorCode()));
    return;
  }
  ConnectionContextPtr context = own.CopyEmpty();
  context->Client = std::move(client);
  context->Daemon = &daemon;
  StartConnectionThread(protocol->thread_proc, std::move(context), protocol->name);
}

void ReceiveDatagram(DaemonRecord& daemon, const ConnectionContext& own,
                     std::vector<char>& buffer) {
  sockaddr_in from{};
  int length = 0;
  try {
    length = daemon.socket.ReceiveDatagram(buffer.data(), static_cast<int>(buffer.size()), &from,
                                           net::Timeout::zero());
  } catch (const net::CBlockingSocketException& e) {
    WriteLog(ThisThread(), kKindError, kReceiveFailedFormat, e.ErrorCode(),
             net::WinsockErrorText(e.ErrorCode()));
    return;
  }
  if (length < 0) {
    const int error = net::WSAENOTSOCK;
    WriteLog(ThisThread(), kKindError, kReceiveFailedFormat, error, net::WinsockErrorText(error));
    return;
  }
  if (length == 0) {
    return;
  }
  const DatagramProtocol* protocol = FindDatagramProtocol(daemon.name);
  if (protocol != nullptr && static_cast<size_t>(length) < protocol->min_length) {
    return;
  }
  if (protocol == nullptr || protocol->start == nullptr) {
    WriteLog(ThisThread(), kKindError, kOtherDatagramFormat, daemon.port);
    return;
  }
  ConnectionContextPtr context = own.CopyEmpty();
  context->Daemon = &daemon;
  context->Data.assign(buffer.begin(), buffer.begin() + length);
  context->Address = from;
  protocol->start(std::move(context));
}

// Visits every record in list order; the flagged ones are served.
void ServeReady(const net::CWaitSet& waits, const DaemonList& daemons, size_t taken,
                const ConnectionContext& own, std::vector<char>& buffer) {
  for (size_t i = 0; i < taken; ++i) {
    if (!waits.Ready(i, POLLIN)) {
      continue;
    }
    DaemonRecord& daemon = *daemons[i];
    if (daemon.type == net::kStream) {
      AcceptStream(daemon, own);
    } else {
      ReceiveDatagram(daemon, own, buffer);
    }
  }
}

}  // namespace

int DaemonServerThreadProc(ConnectionContextPtr context, const DaemonList* daemons) {
  try {
    net::CWaitSet waits;
    const size_t taken = std::min(daemons->size(), kMaxWaitSockets);
    for (size_t i = 0; i < taken; ++i) {
      waits.Add((*daemons)[i]->socket.Handle(), POLLIN);
    }
    if (taken < kMaxWaitSockets) {
      waits.AddShutdown();
    }
    std::vector<char> buffer(kDatagramBufferSize);
    for (;;) {
      const net::CWaitSet::Result result = waits.Wait(net::kWaitForever);
      if (result == net::CWaitSet::Result::kError) {
        if (waits.Error() == net::WSAEINTR || waits.Error() == net::WSAENOTSOCK) {
          break;
        }
        throw net::CBlockingSocketException(kDispatcherSelectText, waits.Error());
      }
      if (result != net::CWaitSet::Result::kReady) {
        break;  // the engine stops
      }
      ServeReady(waits, *daemons, taken, *context, buffer);
    }
  } catch (const net::CBlockingSocketException& e) {
    WriteLog(ThisThread(), kKindError, "%s%s", e.GetErrorText().c_str(), kDispatcherFailedSuffix);
  }
  return 0;
}

}  // namespace qlm::engine
