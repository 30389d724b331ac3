// Helpers for the socket-layer and relay tests: connected loopback TCP pairs,
// a full send buffer, descriptors above 1024, and waiting until a thread sits
// in its poll so a wake-up is known to end a wait that really blocked.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>

#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::test {

// Owns one raw descriptor of the test side.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(Fd&& other) noexcept : fd_(other.Release()) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }
  int Get() const { return fd_; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1) {
    if (fd_ >= 0) {
      close(fd_);
    }
    fd_ = fd;
  }

 private:
  int fd_;
};

// Two ends of one loopback TCP connection.
struct TcpPair {
  Fd a;  // the connecting end
  Fd b;  // the accepted end
};

inline TcpPair MakeTcpPair() {
  uint16_t port = 0;
  Fd listener(ListenTcp("127.0.0.1", &port));
  TcpPair pair;
  pair.a = Fd(ConnectTcp("127.0.0.1", port));
  pair.b = Fd(accept(listener.Get(), nullptr, nullptr));
  return pair;
}

// Moves a descriptor to a number of at least `minimum` (raising the open-file
// limit when needed): poll must work where select's fd_set ends at 1024.
inline int MoveAbove(int fd, int minimum = 1500) {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  const rlim_t wanted = static_cast<rlim_t>(minimum) + 64;
  if (limit.rlim_cur < wanted) {
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max >= wanted
                         ? wanted
                         : limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
  int high = fcntl(fd, F_DUPFD_CLOEXEC, minimum);
  if (high >= 0) {
    close(fd);
  }
  return high;
}

// Fills the send buffer of `fd` (peer not reading) until it stays full: data
// in flight still drains into the peer's receive buffer after the first
// refused send, so filling goes on until no room appears for 200 ms.
inline size_t FillSendBuffer(int fd) {
  int small = 4096;
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &small, sizeof(small));
  char chunk[4096] = {};
  size_t total = 0;
  for (int round = 0; round < 10000; ++round) {
    ssize_t n = send(fd, chunk, sizeof(chunk), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0) {
      total += static_cast<size_t>(n);
      continue;
    }
    pollfd entry{fd, POLLOUT, 0};
    if (poll(&entry, 1, 200) == 0) {
      break;
    }
  }
  return total;
}

inline pid_t CurrentThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

// True once thread `tid` of this process is inside poll/ppoll.
inline bool InPoll(pid_t tid) {
  std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/syscall");
  long number = -1;
  if (!(in >> number)) {
    return false;
  }
  return number == SYS_poll || number == SYS_ppoll;
}

// Waits until the thread that stored its id in `tid` is blocked in poll.
inline bool WaitUntilBlockedInPoll(const std::atomic<pid_t>& tid) {
  return WaitUntil([&] { return tid.load() != 0 && InPoll(tid.load()); });
}

}  // namespace qlm::test
