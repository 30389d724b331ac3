// One IPv4 socket whose waiting operations take a time-out and fail by throwing
// CBlockingSocketException with a fixed text. Each connection runs on a thread
// of its own, so everything blocks the caller; what keeps a blocked thread from
// outliving the engine is the shutdown wake-up that every wait (+S) includes.
// Every protocol socket class derives from this one.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "net/blocking_socket_exception.h"
#include "net/timeout.h"
#include "net/variant.h"
#include "net/wait_set.h"

namespace qlm::net {
class CRelayPipe;
}  // namespace qlm::net

QLM_NET_BEGIN

// Socket types as the configuration model numbers them.
inline constexpr int kStream = SOCK_STREAM;    // 1
inline constexpr int kDatagram = SOCK_DGRAM;   // 2
// The longest accept queue the system grants.
inline constexpr int kLargestBacklog = SOMAXCONN;

class CBlockingSocket {
 public:
  CBlockingSocket() = default;
  // Closes the handle if one is held.
  virtual ~CBlockingSocket();
  CBlockingSocket(const CBlockingSocket&) = delete;
  CBlockingSocket& operator=(const CBlockingSocket&) = delete;

  // The descriptor, or -1 when none is held (the original's handle 0).
  int Handle() const { return handle_; }
  bool IsOpen() const { return handle_ >= 0; }
  // Takes over a descriptor opened elsewhere (closes any held one first).
  void Attach(int fd);
  // Gives the descriptor up without closing it.
  int Detach();

  // Throws "CBlockingSocket::Create:Not null m_hSocket" when a handle is held,
  // "CBlockingSocket::Create socket" when the socket cannot be opened.
  void Create(int type = kStream);
  // Never throws.
  void Close();
  void Bind(const sockaddr_in& address);                 // "CBlockingSocket::Bind"
  void Listen(int backlog);                              // "CBlockingSocket::Listen"
  // false (no throw) when the listener was closed under it; else throws
  // "CBlockingSocket::Accept".
  bool Accept(CBlockingSocket& target, sockaddr_in* address);
  // Waits (+S) first: "CBlockingSocket::Accept time out", "...Accept:Error",
  // "...Accept:application shutdown", "...Accept:Invalid Socket".
  bool Accept(CBlockingSocket& target, sockaddr_in* address, Timeout timeout);
  void Connect(const sockaddr_in& address);              // "CBlockingSocket::Connect"
  // The caller puts the socket in non-blocking mode first and back after.
  void ConnectNonBlock(const sockaddr_in& address, Timeout timeout);
  // Create(stream), non-blocking ConnectNonBlock, blocking again,
  // SetOutOfBadDisable, SetLingerOn(linger): how every proxy connects outward.
  void ConnectOutward(const sockaddr_in& address, Timeout timeout,
                      std::chrono::seconds linger = kOutwardLinger);

  // Waits (+S) for writability, sends once; returns what one send accepted.
  int Send(const char* buffer, int length, Timeout timeout);
  // Send until all has gone; the time-out applies to each Send.
  int SendAll(const char* buffer, int length, Timeout timeout);
  // Waits (+S) for readability; 0 at end of stream, on a wait error and at
  // engine stop; throws "CBlockingSocket::Receive timeout" (other -10).
  int Receive(char* buffer, int size, Timeout timeout);
  // Receive until `size` bytes; throws "ReceiveExact:Receive time out or closed"
  // (other -11) when a Receive gives less than 1.
  int ReceiveExact(char* buffer, int size, Timeout timeout);
  // A bound on every Receive from now until cleared: a whole request head or
  // handshake must arrive within `budget`, however slowly its bytes come, or
  // one client sending a byte just before each wait ends holds its
  // connection slot for ever. Past it, Receive fails as on a time-out.
  void SetReceiveDeadline(Timeout budget);
  void ClearReceiveDeadline() { has_receive_deadline_ = false; }
  bool HasReceiveDeadline() const { return has_receive_deadline_; }
  // `timeout`, cut to what is left before the receive deadline (never below 0).
  Timeout WithinReceiveDeadline(Timeout timeout) const;
  int SendDatagram(const char* buffer, int length, const sockaddr_in& to, Timeout timeout,
                   int flags = 0);
  // 0 on time-out, wait error or stop; -1 when the socket is gone (WSAENOTSOCK).
  int ReceiveDatagram(char* buffer, int size, sockaddr_in* from, Timeout timeout,
                      int flags = 0);

  void GetPeerName(sockaddr_in* address);                // "CBlockingSocket::GetPeerName"
  void GetSockName(sockaddr_in* address);                // "CBlockingSocket::GetSockName"

  // First address of the host cache's forward look-up, with `port` (host
  // order); throws "CBlockingSocket::GetHostByName" when there is none.
  static sockaddr_in GetHostByName(const char* name, uint16_t port);
  // Dotted text: sets only the address field. A host name: replaces the whole
  // record (port 0). false for null text or a name that does not resolve.
  static bool ResolveAddress(const char* text, sockaddr_in* address);
  // Reverse name of the address from the host cache, cut to size-1 characters.
  static std::string LookupHostName(const sockaddr_in& address, size_t size = 256);

  void SetNonBlockingMode();
  void SetBlockingMode();
  void SetOutOfBadDisable();                             // SO_OOBINLINE
  void SetLingerOn(int seconds);
  void SetLingerOn(std::chrono::seconds linger) { SetLingerOn(static_cast<int>(linger.count())); }
  void SetReuseAddr();
  void SetBroadcastOn();
  // A larger receive buffer (SO_RCVBUF): datagram listeners hold a burst.
  void SetReceiveBufferSize(int bytes);

  bool IsWritable();
  bool WaitReadable(Timeout timeout);
  // Discards whatever input is pending now.
  void DrainInput();

  // The relay pump's own calls. One recv that never waits: the count, 0 at the
  // peer's orderly close, -1 with the Winsock error in *error (WSAEWOULDBLOCK
  // when nothing was there after all). Never throws.
  int ReceiveNow(char* buffer, int size, int* error);
#ifndef QLM_MANAGER_VARIANT
  // The relay's copy-free path (engine only): what is waiting now, up to
  // `max` bytes, moved into the pipe without waiting (results as ReceiveNow;
  // WSAEINVAL where the kernel cannot splice this socket); and everything in
  // the pipe written out, each step waiting (+S) like Send and throwing like
  // SendAll.
  int ReceiveIntoPipe(CRelayPipe& pipe, size_t max, int* error);
  void SendAllFromPipe(CRelayPipe& pipe, Timeout timeout);
  // The waiting form, as Receive: waits (+S) up to `timeout` for input, then
  // moves what is there, up to `max` bytes, into the pipe. The count; 0 at
  // the end of the stream, on a failed wait or the stop; -1 where the kernel
  // cannot splice this socket (nothing moved); throws as Receive on the
  // time-out or a receive error.
  int ReceiveIntoPipe(CRelayPipe& pipe, size_t max, Timeout timeout);
#endif
  // shutdown() of one direction; errors (already shut, reset) are ignored.
  void ShutdownReceive();
  void ShutdownSend();

  // The socket file's write: all of the buffer, each wait with `timeout`;
  // "CBlockingSocket::Send:Socket closed" without a handle or on a failed wait
  // or stop, "CBlockingSocket::Send timeout" (other -10), "CBlockingSocket::Send "
  // on a send failure. Leaves TrafficIdleFlag alone (manager-link traffic
  // must not keep a dial-up line up).
  void SendForFile(const char* buffer, int length, Timeout timeout);

 protected:
  // Wait (+S): the own socket and, in the engine, the stop wake-up. No handle
  // counts as a failed wait (WSAENOTSOCK). *error gets the wait's Winsock error.
  CWaitSet::Result WaitSelf(short events, Timeout timeout, int* error) const;

  int handle_ = -1;

 private:
  bool has_receive_deadline_ = false;
  std::chrono::steady_clock::time_point receive_deadline_{};
};

// "a.b.c.d" of an address in network order.
std::string DottedAddress(in_addr address);
// Builds an AF_INET record from dotted text (INADDR_NONE when not dotted) and a
// host-order port.
sockaddr_in MakeAddress(const std::string& dotted, uint16_t port);

QLM_NET_END
