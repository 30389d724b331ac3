// The socket class: lifetime, binding, accepting, connecting, options and
// names. Sending and receiving are in blocking_socket_io.cpp.
#include "net/blocking_socket.h"

#include <arpa/inet.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "net/host_cache.h"
#include "net/winsock_errors.h"

QLM_NET_BEGIN
namespace {

constexpr char kCreateHeld[] = "CBlockingSocket::Create:Not null m_hSocket";
constexpr char kCreateFailed[] = "CBlockingSocket::Create socket";
constexpr char kBind[] = "CBlockingSocket::Bind";
constexpr char kListen[] = "CBlockingSocket::Listen";
constexpr char kAccept[] = "CBlockingSocket::Accept";
constexpr char kAcceptTimeout[] = "CBlockingSocket::Accept time out";
constexpr char kAcceptError[] = "CBlockingSocket::Accept:Error";
constexpr char kAcceptShutdown[] = "CBlockingSocket::Accept:application shutdown";
constexpr char kAcceptInvalid[] = "CBlockingSocket::Accept:Invalid Socket";
constexpr char kConnect[] = "CBlockingSocket::Connect";
constexpr char kConnectNbConnect[] = "CBlockingSocket::ConnectNonBlock::Connect";
// The two builds wait alike and differ only in what a failed wait or a
// refused connection is called.
#ifdef QLM_MANAGER_VARIANT
constexpr char kConnectNbTimeout[] = "CBlockingSocket::Connect time out";
constexpr char kConnectNbClosed[] = "CBlockingSocket::ConnectNonBlock::Connect";
#else
constexpr char kConnectNbTimeout[] = "CBlockingSocket::ConnectNonBlock:time out";
constexpr char kConnectNbSocketError[] = "CBlockingSocket::ConnectNonBlock:socket error %d";
constexpr char kConnectNbClosed[] = "CBlockingSocket::ConnectNonBlock:socket closed";
#endif
constexpr char kGetPeerName[] = "CBlockingSocket::GetPeerName";
constexpr char kGetSockName[] = "CBlockingSocket::GetSockName";
constexpr char kGetHostByName[] = "CBlockingSocket::GetHostByName";
constexpr char kSetNonBlocking[] = "CBlockingSocket::SetNonBlockingMode";
constexpr char kSetBlocking[] = "CBlockingSocket::SetBlockingMode";
constexpr char kSetOutOfBand[] = "SetOutOfBadDisable";
constexpr char kSetLinger[] = "CBlockingSocket::SetLingerOn";
constexpr char kSetReuse[] = "CBlockingSocket::SetReuseAddr";
constexpr char kSetBroadcast[] = "CBlockingSocket::SetBroadcastOn";

// How every proxy connects outward.

sockaddr* AsSockaddr(sockaddr_in* address) { return reinterpret_cast<sockaddr*>(address); }
const sockaddr* AsSockaddr(const sockaddr_in* address) {
  return reinterpret_cast<const sockaddr*>(address);
}

void SetIntOption(int fd, int level, int name, int value, const char* failure) {
  if (setsockopt(fd, level, name, &value, sizeof(value)) != 0) {
    throw CBlockingSocketException::FromLastError(failure);
  }
}

// The connect error of a socket whose non-blocking connect has finished.
int PendingSocketError(int fd) {
  int err = 0;
  socklen_t length = sizeof(err);
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &length) != 0) {
    return WSAGetLastError();
  }
  return WinsockFromErrno(err);
}

}  // namespace

CBlockingSocket::~CBlockingSocket() { Close(); }

void CBlockingSocket::Attach(int fd) {
  Close();
  handle_ = fd;
}

int CBlockingSocket::Detach() {
  int fd = handle_;
  handle_ = -1;
  return fd;
}

void CBlockingSocket::Create(int type) {
  if (handle_ >= 0) {
    throw CBlockingSocketException(kCreateHeld);
  }
  int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    throw CBlockingSocketException::FromLastError(kCreateFailed);
  }
  handle_ = fd;
}

void CBlockingSocket::Close() {
  if (handle_ >= 0) {
    close(handle_);
    handle_ = -1;
  }
}

void CBlockingSocket::Bind(const sockaddr_in& address) {
  if (bind(handle_, AsSockaddr(&address), sizeof(address)) != 0) {
    throw CBlockingSocketException::FromLastError(kBind);
  }
}

void CBlockingSocket::Listen(int backlog) {
  if (listen(handle_, backlog) != 0) {
    throw CBlockingSocketException::FromLastError(kListen);
  }
}

bool CBlockingSocket::Accept(CBlockingSocket& target, sockaddr_in* address) {
  socklen_t length = sizeof(sockaddr_in);
  int fd = accept4(handle_, address != nullptr ? AsSockaddr(address) : nullptr,
                   address != nullptr ? &length : nullptr, SOCK_CLOEXEC);
  if (fd < 0) {
    const int err = WSAGetLastError();
    if (err == WSAEINTR || err == WSAENOTSOCK) {
      return false;  // the listener was closed under us
    }
    throw CBlockingSocketException(kAccept, err);
  }
  target.Attach(fd);
  return true;
}

bool CBlockingSocket::Accept(CBlockingSocket& target, sockaddr_in* address, Timeout timeout) {
  int error = 0;
  switch (WaitSelf(POLLIN, timeout, &error)) {
    case CWaitSet::Result::kTimedOut:
      throw CBlockingSocketException(kAcceptTimeout);
    case CWaitSet::Result::kError:
      throw CBlockingSocketException(kAcceptError, error);
    case CWaitSet::Result::kShutdown:
      throw CBlockingSocketException(kAcceptShutdown);
    case CWaitSet::Result::kReady:
      break;
  }
  socklen_t length = sizeof(sockaddr_in);
  int fd = accept4(handle_, address != nullptr ? AsSockaddr(address) : nullptr,
                   address != nullptr ? &length : nullptr, SOCK_CLOEXEC);
  if (fd < 0) {
    throw CBlockingSocketException::FromLastError(kAcceptInvalid);
  }
  target.Attach(fd);
  return true;
}

void CBlockingSocket::Connect(const sockaddr_in& address) {
  if (connect(handle_, AsSockaddr(&address), sizeof(address)) != 0) {
    throw CBlockingSocketException::FromLastError(kConnect);
  }
}

void CBlockingSocket::ConnectNonBlock(const sockaddr_in& address, Timeout timeout) {
  if (connect(handle_, AsSockaddr(&address), sizeof(address)) == 0) {
    return;
  }
  const int err = WSAGetLastError();
  if (err != WSAEWOULDBLOCK) {
    throw CBlockingSocketException(kConnectNbConnect, err);
  }
  int error = 0;
  switch (WaitSelf(POLLOUT, timeout, &error)) {
    case CWaitSet::Result::kTimedOut:
      throw CBlockingSocketException(kConnectNbTimeout);
    case CWaitSet::Result::kError:
    case CWaitSet::Result::kShutdown:
      throw CBlockingSocketException(kConnectNbClosed, error);
    case CWaitSet::Result::kReady:
      break;
  }
  // A failed connect reports writable with an error pending (what the
  // exception set shows elsewhere); it must not pass for a made connection.
  const int pending = PendingSocketError(handle_);
  if (pending != 0) {
#ifdef QLM_MANAGER_VARIANT
    throw CBlockingSocketException(kConnectNbConnect, pending);
#else
    char text[96];
    std::snprintf(text, sizeof(text), kConnectNbSocketError, pending);
    throw CBlockingSocketException(text, pending);
#endif
  }
}

void CBlockingSocket::ConnectOutward(const sockaddr_in& address, Timeout timeout,
                                     std::chrono::seconds linger) {
  Create(kStream);
  SetNonBlockingMode();
  ConnectNonBlock(address, timeout);
  SetBlockingMode();
  SetOutOfBadDisable();
  SetLingerOn(linger);
}

void CBlockingSocket::GetPeerName(sockaddr_in* address) {
  socklen_t length = sizeof(sockaddr_in);
  if (getpeername(handle_, AsSockaddr(address), &length) != 0) {
    throw CBlockingSocketException::FromLastError(kGetPeerName);
  }
}

void CBlockingSocket::GetSockName(sockaddr_in* address) {
  socklen_t length = sizeof(sockaddr_in);
  if (getsockname(handle_, AsSockaddr(address), &length) != 0) {
    throw CBlockingSocketException::FromLastError(kGetSockName);
  }
}

sockaddr_in CBlockingSocket::GetHostByName(const char* name, uint16_t port) {
  HostEntry entry = CHostCache::Instance().Lookup(name);
  if (entry.addresses.empty()) {
    throw CBlockingSocketException(kGetHostByName, WSAHOST_NOT_FOUND);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr = entry.addresses.front();
  return address;
}

bool CBlockingSocket::ResolveAddress(const char* text, sockaddr_in* address) {
  if (text == nullptr || address == nullptr) {
    return false;
  }
  in_addr dotted{};
  if (inet_pton(AF_INET, text, &dotted) == 1) {
    address->sin_addr = dotted;
    return true;
  }
  try {
    *address = GetHostByName(text, 0);
  } catch (const CBlockingSocketException&) {
    return false;
  }
  return true;
}

std::string CBlockingSocket::LookupHostName(const sockaddr_in& address, size_t size) {
  if (size == 0) {
    return std::string();
  }
  std::string name = CHostCache::Instance().ReverseLookup(address.sin_addr);
  if (name.size() > size - 1) {
    name.resize(size - 1);
  }
  return name;
}

void CBlockingSocket::SetNonBlockingMode() {
  int on = 1;
  if (ioctl(handle_, FIONBIO, &on) != 0) {
    throw CBlockingSocketException::FromLastError(kSetNonBlocking);
  }
}

void CBlockingSocket::SetBlockingMode() {
  int off = 0;
  if (ioctl(handle_, FIONBIO, &off) != 0) {
    throw CBlockingSocketException::FromLastError(kSetBlocking);
  }
}

void CBlockingSocket::SetOutOfBadDisable() {
  SetIntOption(handle_, SOL_SOCKET, SO_OOBINLINE, 1, kSetOutOfBand);
}

void CBlockingSocket::SetLingerOn(int seconds) {
  linger value{1, seconds};
  if (setsockopt(handle_, SOL_SOCKET, SO_LINGER, &value, sizeof(value)) != 0) {
    throw CBlockingSocketException::FromLastError(kSetLinger);
  }
}

void CBlockingSocket::SetReuseAddr() {
  SetIntOption(handle_, SOL_SOCKET, SO_REUSEADDR, 1, kSetReuse);
}

void CBlockingSocket::SetBroadcastOn() {
  SetIntOption(handle_, SOL_SOCKET, SO_BROADCAST, 1, kSetBroadcast);
}

void CBlockingSocket::SetReceiveBufferSize(int bytes) {
  // Past the system's ceiling where the engine may (it runs as root);
  // otherwise as much as the ceiling allows. Never a failure: the default
  // buffer still works, only a burst may lose more.
  if (handle_ >= 0 &&
      setsockopt(handle_, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0) {
    setsockopt(handle_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
  }
}

CWaitSet::Result CBlockingSocket::WaitSelf(short events, Timeout timeout, int* error) const {
  *error = 0;
  if (handle_ < 0) {
    *error = WSAENOTSOCK;
    return CWaitSet::Result::kError;
  }
  CWaitSet set;
  set.Add(handle_, events);
#ifndef QLM_MANAGER_VARIANT
  set.AddShutdown();
#endif
  CWaitSet::Result result = set.Wait(timeout);
  *error = set.Error();
  return result;
}

std::string DottedAddress(in_addr address) {
  char text[INET_ADDRSTRLEN] = {};
  if (inet_ntop(AF_INET, &address, text, sizeof(text)) == nullptr) {
    return std::string();
  }
  return text;
}

sockaddr_in MakeAddress(const std::string& dotted, uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (inet_pton(AF_INET, dotted.c_str(), &address.sin_addr) != 1) {
    address.sin_addr.s_addr = INADDR_NONE;
  }
  return address;
}

QLM_NET_END
