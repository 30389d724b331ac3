// Sending and receiving on the socket class. Every wait includes the stop
// wake-up (engine build). The sends themselves never block: a blocking send
// of more than the free buffer space would wait for the peer with neither
// time-out nor wake-up, so each send takes what fits and the wait repeats.
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "net/blocking_socket.h"
#include "net/relay_pipe.h"
#include "net/traffic_idle_flag.h"
#include "net/winsock_errors.h"

QLM_NET_BEGIN
namespace {

constexpr char kSendTimeout[] = "CBlockingSocket::Send timeout";
constexpr char kSendClosed[] = "CBlockingSocket::Send:Socket closed";
constexpr char kSending[] = "CBlockingSocket::Sending";
constexpr char kSendPlain[] = "CBlockingSocket::Send ";
constexpr char kReceiveTimeout[] = "CBlockingSocket::Receive timeout";
constexpr char kReceiveError[] = "CBlockingSocket::Receive Error";
constexpr char kReceiveExact[] = "ReceiveExact:Receive time out or closed";
constexpr char kSendDatagramTimeout[] = "CBlockingSocket::SendDatagram:timeout";
constexpr char kSendDatagramClosed[] = "CBlockingSocket::SendDatagram:socket closed ";
constexpr char kSendDatagram[] = "CBlockingSocket::SendDatagram";
constexpr char kReceiveDatagram[] = "CBlockingSocket::ReceiveDatagram";

// The manager's send failure shows the start of what it tried to send.
[[maybe_unused]] constexpr int kManagerSendEchoBytes = 30;
constexpr int kDrainChunk = 1024;

using Clock = std::chrono::steady_clock;

// What is left of a time-out that started at `start` (never below 0;
// kWaitForever stays so).
Timeout Remaining(Timeout timeout, Clock::time_point start) {
  if (timeout.count() < 0) {
    return timeout;
  }
  Timeout left = timeout - std::chrono::duration_cast<Timeout>(Clock::now() - start);
  return std::max(left, Timeout{0});
}

}  // namespace

// One send of what fits, after Wait (+S) for writability: `send_now` makes
// one non-waiting send and returns its result (errno set on -1). `track`
// sets the traffic flag; `failure` is the text of a failed send.
template <class SendNow>
static int SendOnce(CBlockingSocket& socket, Timeout timeout, bool track,
                    const std::string& failure,
                    CWaitSet::Result (*wait)(const CBlockingSocket&, Timeout, int*),
                    SendNow send_now) {
  const Clock::time_point start = Clock::now();
  for (;;) {
    int error = 0;
    switch (wait(socket, Remaining(timeout, start), &error)) {
      case CWaitSet::Result::kTimedOut:
        throw CBlockingSocketException(kSendTimeout, 0, kOtherTimeout);
      case CWaitSet::Result::kError:
      case CWaitSet::Result::kShutdown:
        throw CBlockingSocketException(kSendClosed);
      case CWaitSet::Result::kReady:
        break;
    }
    if (track) {
      TrafficIdleFlag().exchange(0);
    }
    const ssize_t sent = send_now();
    if (sent >= 0) {
      return static_cast<int>(sent);
    }
    const int err = WSAGetLastError();
    if (err != WSAEWOULDBLOCK && err != WSAEINTR) {
      throw CBlockingSocketException(failure, err);
    }
  }
}

static int SendOnce(CBlockingSocket& socket, const char* buffer, int length, Timeout timeout,
                    bool track, const std::string& failure,
                    CWaitSet::Result (*wait)(const CBlockingSocket&, Timeout, int*)) {
  return SendOnce(socket, timeout, track, failure, wait, [&] {
    return send(socket.Handle(), buffer, static_cast<size_t>(std::max(length, 0)),
                MSG_NOSIGNAL | MSG_DONTWAIT);
  });
}

int CBlockingSocket::Send(const char* buffer, int length, Timeout timeout) {
#ifdef QLM_MANAGER_VARIANT
  std::string failure = kSendPlain;
  failure.append(buffer, static_cast<size_t>(std::clamp(length, 0, kManagerSendEchoBytes)));
#else
  const std::string failure = kSending;
#endif
  auto wait = [](const CBlockingSocket& s, Timeout t, int* e) { return s.WaitSelf(POLLOUT, t, e); };
  return SendOnce(*this, buffer, length, timeout, true, failure, wait);
}

int CBlockingSocket::SendAll(const char* buffer, int length, Timeout timeout) {
  int done = 0;
  while (done < length) {
    done += Send(buffer + done, length - done, timeout);
  }
  return std::max(length, 0);
}

void CBlockingSocket::SendForFile(const char* buffer, int length, Timeout timeout) {
  if (handle_ < 0) {
    throw CBlockingSocketException(kSendClosed);
  }
  auto wait = [](const CBlockingSocket& s, Timeout t, int* e) { return s.WaitSelf(POLLOUT, t, e); };
  int done = 0;
  while (done < length) {
    done += SendOnce(*this, buffer + done, length - done, timeout, false, kSendPlain, wait);
  }
}

void CBlockingSocket::SetReceiveDeadline(Timeout budget) {
  has_receive_deadline_ = true;
  receive_deadline_ = Clock::now() + budget;
}

Timeout CBlockingSocket::WithinReceiveDeadline(Timeout timeout) const {
  if (!has_receive_deadline_) {
    return timeout;
  }
  const Timeout left = std::max(
      Timeout{0}, std::chrono::duration_cast<Timeout>(receive_deadline_ - Clock::now()));
  return timeout.count() < 0 ? left : std::min(timeout, left);
}

// Waits for input within `timeout`, then reads once without waiting with
// `read_now`, until a read moves bytes. 0 at the end of the stream or on a
// shut-down socket; -1 for the read error `stop_on`; throws on silence and
// on any other read error.
template <class Wait, class ReadNow>
static int ReceiveOnce(Timeout timeout, Wait wait, ReadNow read_now, int stop_on) {
  const Clock::time_point start = Clock::now();
  for (;;) {
    int error = 0;
    switch (wait(Remaining(timeout, start), &error)) {
      case CWaitSet::Result::kTimedOut:
        throw CBlockingSocketException(kReceiveTimeout, 0, kOtherTimeout);
      case CWaitSet::Result::kError:
      case CWaitSet::Result::kShutdown:
        return 0;  // read as the end of the stream
      case CWaitSet::Result::kReady:
        break;
    }
    const ssize_t got = read_now();
    if (got >= 0) {
      return static_cast<int>(got);
    }
    const int err = WSAGetLastError();
    if (err == stop_on) {
      return -1;
    }
    if (err != WSAEWOULDBLOCK && err != WSAEINTR) {
      throw CBlockingSocketException(kReceiveError, err);
    }
  }
}

int CBlockingSocket::Receive(char* buffer, int size, Timeout timeout) {
  return ReceiveOnce(
      timeout,
      [this](Timeout t, int* e) { return WaitSelf(POLLIN, WithinReceiveDeadline(t), e); },
      [&] { return recv(handle_, buffer, static_cast<size_t>(std::max(size, 0)), MSG_DONTWAIT); },
      0);
}

int CBlockingSocket::ReceiveExact(char* buffer, int size, Timeout timeout) {
  if (size < 1) {
    return 0;
  }
  int done = 0;
  while (done < size) {
    int got = Receive(buffer + done, size - done, timeout);
    if (got < 1) {
      throw CBlockingSocketException(kReceiveExact, 0, kOtherExactFailed);
    }
    done += got;
  }
  return done;
}

int CBlockingSocket::SendDatagram(const char* buffer, int length, const sockaddr_in& to,
                                  Timeout timeout, int flags) {
  int error = 0;
  switch (WaitSelf(POLLOUT, timeout, &error)) {
    case CWaitSet::Result::kTimedOut:
      throw CBlockingSocketException(kSendDatagramTimeout);
    case CWaitSet::Result::kError:
    case CWaitSet::Result::kShutdown:
      throw CBlockingSocketException(kSendDatagramClosed, error);
    case CWaitSet::Result::kReady:
      break;
  }
  TrafficIdleFlag().exchange(0);
  ssize_t sent = sendto(handle_, buffer, static_cast<size_t>(std::max(length, 0)),
                        flags | MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
  if (sent < 0) {
    throw CBlockingSocketException::FromLastError(kSendDatagram);
  }
  return static_cast<int>(sent);
}

int CBlockingSocket::ReceiveDatagram(char* buffer, int size, sockaddr_in* from, Timeout timeout,
                                     int flags) {
  int error = 0;
  if (WaitSelf(POLLIN, timeout, &error) != CWaitSet::Result::kReady) {
    return 0;
  }
  socklen_t length = sizeof(sockaddr_in);
  sockaddr_in ignored{};
  sockaddr_in* target = from != nullptr ? from : &ignored;
  ssize_t got = recvfrom(handle_, buffer, static_cast<size_t>(std::max(size, 0)),
                         flags | MSG_DONTWAIT, reinterpret_cast<sockaddr*>(target), &length);
  if (got >= 0) {
    return static_cast<int>(got);
  }
  const int err = WSAGetLastError();
  if (err == WSAENOTSOCK) {
    return -1;
  }
  if (err == WSAEWOULDBLOCK || err == WSAEINTR) {
    return 0;  // the datagram vanished between the wait and the read
  }
  throw CBlockingSocketException(kReceiveDatagram, err);
}

bool CBlockingSocket::IsWritable() {
  if (handle_ < 0) {
    return false;
  }
  CWaitSet set;
  set.Add(handle_, POLLOUT);
  return set.Wait(Timeout{0}) == CWaitSet::Result::kReady && set.Ready(0, POLLOUT);
}

bool CBlockingSocket::WaitReadable(Timeout timeout) {
  if (handle_ < 0) {
    return false;
  }
  int error = 0;
  return WaitSelf(POLLIN, timeout, &error) == CWaitSet::Result::kReady;
}

void CBlockingSocket::DrainInput() {
  if (handle_ < 0) {
    return;
  }
  char discard[kDrainChunk];
  for (;;) {
    CWaitSet set;
    set.Add(handle_, POLLIN);
    if (set.Wait(Timeout{0}) != CWaitSet::Result::kReady) {
      return;
    }
    if (recv(handle_, discard, sizeof(discard), MSG_DONTWAIT) <= 0) {
      return;
    }
  }
}

int CBlockingSocket::ReceiveNow(char* buffer, int size, int* error) {
  *error = 0;
  ssize_t got = recv(handle_, buffer, static_cast<size_t>(std::max(size, 0)), MSG_DONTWAIT);
  if (got < 0) {
    *error = WSAGetLastError();
    return -1;
  }
  return static_cast<int>(got);
}

#ifndef QLM_MANAGER_VARIANT
int CBlockingSocket::ReceiveIntoPipe(CRelayPipe& pipe, size_t max, int* error) {
  *error = 0;
  const ssize_t got = pipe.FillFrom(handle_, max);
  if (got < 0) {
    *error = WSAGetLastError();
    return -1;
  }
  return static_cast<int>(got);
}

int CBlockingSocket::ReceiveIntoPipe(CRelayPipe& pipe, size_t max, Timeout timeout) {
  // EINVAL: this socket cannot splice; the caller copies instead.
  return ReceiveOnce(
      timeout,
      [this](Timeout t, int* e) { return WaitSelf(POLLIN, WithinReceiveDeadline(t), e); },
      [&] { return pipe.FillFrom(handle_, max); }, WSAEINVAL);
}

void CBlockingSocket::SendAllFromPipe(CRelayPipe& pipe, Timeout timeout) {
  auto wait = [](const CBlockingSocket& s, Timeout t, int* e) { return s.WaitSelf(POLLOUT, t, e); };
  while (pipe.Pending() > 0) {
    if (SendOnce(*this, timeout, true, kSending, wait, [&] { return pipe.DrainTo(handle_); }) ==
        0) {
      // The kernel moved nothing to a writable socket (a peer that reset):
      // the rest goes the plain way, which reports the failure as a send
      // would.
      std::vector<char> rest(pipe.Pending());
      rest.resize(pipe.ReadOut(rest.data(), rest.size()));
      SendAll(rest.data(), static_cast<int>(rest.size()), timeout);
    }
  }
}
#endif

void CBlockingSocket::ShutdownReceive() {
  if (handle_ >= 0) {
    shutdown(handle_, SHUT_RD);
  }
}

void CBlockingSocket::ShutdownSend() {
  if (handle_ >= 0) {
    shutdown(handle_, SHUT_WR);
  }
}

QLM_NET_END
