// CManagerAsyncSocket: the link's pending connection to the engine. A
// non-blocking connect whose outcome arrives as an event on the window
// thread (a socket notifier), so the window never waits for an engine that
// is not there.
#pragma once

#include <netinet/in.h>

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

#include "net/blocking_socket.h"

namespace qlm::manager {

class CManagerAsyncSocket : public QObject {
  Q_OBJECT

 public:
  // Called once, on the window thread, with 0 or the connect's Winsock error.
  using ConnectHandler = std::function<void(int error)>;

  CManagerAsyncSocket();
  ~CManagerAsyncSocket() override;

  // Opens the socket; false when the system refuses one.
  bool Create();
  // Starts the connect. Its result is always delivered through `handler`
  // later, never from inside this call, so the handler may destroy this object.
  void StartConnect(const sockaddr_in& address, ConnectHandler handler);
  // Hands the connected descriptor over (the object holds none after).
  int Detach();

 private:
  void Deliver(int error);

  net::CBlockingSocket socket_;
  std::unique_ptr<QSocketNotifier> notifier_;
  ConnectHandler handler_;
};

}  // namespace qlm::manager
