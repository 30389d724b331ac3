// poll(2) over a handful of descriptors, optionally with the stop wake-up.
#include "net/wait_set.h"

#include <cerrno>
#include <chrono>
#include <climits>

#include "net/shutdown_socket.h"
#include "net/winsock_errors.h"

namespace qlm::net {
namespace {

int PollMilliseconds(Timeout timeout) {
  if (timeout.count() < 0) {
    return -1;
  }
  return timeout.count() > INT_MAX ? INT_MAX : static_cast<int>(timeout.count());
}

}  // namespace

size_t CWaitSet::Add(int fd, short events) {
  const pollfd entry{fd, events, 0};
  if (count_ < kInline) {
    inline_[count_] = entry;
  } else {
    if (count_ == kInline) {
      spill_.assign(inline_.begin(), inline_.end());
    }
    spill_.push_back(entry);
  }
  return count_++;
}

void CWaitSet::AddShutdown() {
  shutdown_index_ = static_cast<int>(Add(CShutdownSocket::Instance().Fd(), POLLIN));
}

void CWaitSet::Clear() {
  count_ = 0;
  spill_.clear();
  shutdown_index_ = -1;
  error_ = 0;
}

CWaitSet::Result CWaitSet::Wait(Timeout timeout) {
  using Clock = std::chrono::steady_clock;
  const bool forever = timeout.count() < 0;
  const Clock::time_point deadline = forever ? Clock::time_point::max() : Clock::now() + timeout;
  error_ = 0;
  pollfd* entries = Entries();
  for (size_t i = 0; i < count_; ++i) {
    entries[i].revents = 0;
  }
  int ready = 0;
  for (;;) {
    Timeout left = timeout;
    if (!forever) {
      left = std::chrono::ceil<Timeout>(deadline - Clock::now());
      if (left.count() < 0) {
        left = Timeout{0};
      }
    }
    ready = poll(entries, count_, PollMilliseconds(left));
    if (ready >= 0 || errno != EINTR) {
      break;
    }
  }
  if (ready < 0) {
    error_ = WSAGetLastError();
    return Result::kError;
  }
  if (ready == 0) {
    return Result::kTimedOut;
  }
  if (shutdown_index_ >= 0 && entries[shutdown_index_].revents != 0) {
    return Result::kShutdown;
  }
  // A handle that is not (or no longer) open: select reports that as a
  // failed wait, not as a ready socket.
  for (size_t i = 0; i < count_; ++i) {
    if (entries[i].revents & POLLNVAL) {
      error_ = WSAENOTSOCK;
      return Result::kError;
    }
  }
  return Result::kReady;
}

bool CWaitSet::Ready(size_t index, short events) const {
  if (index >= count_) {
    return false;
  }
  short mask = events;
  if (events & (POLLIN | POLLOUT)) {
    mask |= POLLERR | POLLHUP;
  }
  if (events & POLLPRI) {
    // A failed connect shows in the exception set.
    mask |= POLLERR;
  }
  return (Entries()[index].revents & mask) != 0;
}

}  // namespace qlm::net
