// ManagerServerThreadProc: the listener on DefaultIP:6501. Accepts managers
// from this host only and gives each its own connection thread.
#include <arpa/inet.h>
#include <poll.h>

#include <system_error>
#include <thread>

#include "engine/activity_log.h"
#include "net/host_addresses.h"
#include "engine/manager_channel.h"
#include "engine/manager_slot.h"
#include "net/blocking_socket_exception.h"
#include "net/wait_set.h"
#include "net/winsock_errors.h"

namespace qlm::engine {

namespace {

bool IsLocalPeer(const sockaddr_in& peer) {
  if (auto hook = CManagerSlot::Instance().Hooks().is_local_peer) {
    return hook(peer);
  }
  return net::IsOwnHostAddress(peer.sin_addr);
}

void StartClientThread(std::unique_ptr<net::CBlockingSocket> socket) {
  CManagerSlot& slot = CManagerSlot::Instance();
  slot.threads_running.fetch_add(1);
  try {
    std::thread(ManagerClientThreadProc, std::move(socket)).detach();
  } catch (const std::system_error&) {
    // The socket went with the failed thread's arguments and is closed.
    slot.threads_running.fetch_sub(1);
    WriteLog(ThisThread(), kKindError, "%s", kManagerThreadFailedText);
  }
}

// Accepts one pending manager. false when the listener is gone.
bool AcceptOne(net::CBlockingSocket& listener) {
  auto socket = std::make_unique<net::CBlockingSocket>();
  sockaddr_in peer{};
  try {
    if (!listener.Accept(*socket, &peer)) {
      return false;
    }
  } catch (const net::CBlockingSocketException& e) {
    WriteLog(ThisThread(), kKindError, kManagerAcceptFailedFormat, e.ErrorCode(),
             net::WinsockErrorText(e.ErrorCode()));
    socket->Close();
    net::CWaitSet pause;
    pause.AddShutdown();
    pause.Wait(CManagerSlot::Instance().Hooks().accept_retry_delay);
    return true;
  }
  if (!IsLocalPeer(peer)) {
    char dotted[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &peer.sin_addr, dotted, sizeof dotted);
    WriteLog(ThisThread(), kKindError, kManagerNotLocalFormat, dotted);
    socket->Close();
    return true;
  }
  StartClientThread(std::move(socket));
  return true;
}

}  // namespace

int ManagerServerThreadProc(net::CBlockingSocket* listener) {
  try {
    net::CWaitSet waits;
    const size_t index = waits.Add(listener->Handle(), POLLIN);
    waits.AddShutdown();
    for (;;) {
      const net::CWaitSet::Result result = waits.Wait(net::kWaitForever);
      if (result == net::CWaitSet::Result::kError) {
        if (waits.Error() == net::WSAEINTR || waits.Error() == net::WSAENOTSOCK) {
          break;
        }
        throw net::CBlockingSocketException(kManagerSelectFailedText, waits.Error());
      }
      if (result != net::CWaitSet::Result::kReady) {
        break;  // engine stop
      }
      // Ready but not readable: the listening descriptor itself went bad.
      if (!waits.Ready(index, POLLIN) || !AcceptOne(*listener)) {
        break;
      }
    }
  } catch (const net::CBlockingSocketException& e) {
    WriteLog(ThisThread(), kKindError, "%s%s", e.GetErrorMessage().c_str(),
             kManagerServerFailedSuffix);
  }
  listener->Close();
  return 0;
}

}  // namespace qlm::engine
