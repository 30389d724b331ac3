// A listener's own datagram socket, used by a worker for one reply and given
// back untouched: the reply leaves from the address and port the request
// reached, which a client with a connected socket insists on. A second socket
// bound to that same port would not do: while it is open, the system hands
// it the next datagrams meant for the listener.
#pragma once

#include "net/blocking_socket.h"

QLM_NET_BEGIN

class CBorrowedSocket : public CBlockingSocket {
 public:
  explicit CBorrowedSocket(int handle) { Attach(handle); }
  ~CBorrowedSocket() override { Detach(); }
};

QLM_NET_END
