// The link's non-blocking connect.
#include "manager/manager_async_socket.h"

#include <sys/socket.h>

#include <QMetaObject>
#include <cerrno>

#include "net/winsock_errors.h"

namespace qlm::manager {

CManagerAsyncSocket::CManagerAsyncSocket() = default;
CManagerAsyncSocket::~CManagerAsyncSocket() = default;

bool CManagerAsyncSocket::Create() {
  try {
    socket_.Create(net::kStream);
    socket_.SetNonBlockingMode();
    return true;
  } catch (const net::CBlockingSocketException&) {
    socket_.Close();
    return false;
  }
}

void CManagerAsyncSocket::StartConnect(const sockaddr_in& address, ConnectHandler handler) {
  handler_ = std::move(handler);
  const int rc = ::connect(socket_.Handle(), reinterpret_cast<const sockaddr*>(&address),
                           sizeof address);
  if (rc == 0 || errno != EINPROGRESS) {
    // Settled at once (a refused loopback connect, a bad address): still
    // reported as a later event.
    const int error = rc == 0 ? 0 : net::WSAGetLastError();
    QMetaObject::invokeMethod(this, [this, error] { Deliver(error); }, Qt::QueuedConnection);
    return;
  }
  notifier_ = std::make_unique<QSocketNotifier>(socket_.Handle(), QSocketNotifier::Write);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
    notifier_->setEnabled(false);
    int pending = 0;
    socklen_t length = sizeof pending;
    ::getsockopt(socket_.Handle(), SOL_SOCKET, SO_ERROR, &pending, &length);
    const int error = pending == 0 ? 0 : net::WinsockFromErrno(pending);
    // Queued, so the handler may delete this object safely.
    QMetaObject::invokeMethod(this, [this, error] { Deliver(error); }, Qt::QueuedConnection);
  });
}

void CManagerAsyncSocket::Deliver(int error) {
  if (handler_) {
    ConnectHandler handler = std::move(handler_);
    handler_ = nullptr;
    handler(error);
  }
}

int CManagerAsyncSocket::Detach() {
  notifier_.reset();
  return socket_.Detach();
}

}  // namespace qlm::manager
