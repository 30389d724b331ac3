// The relay's pipe, over splice(2).
#include "net/relay_pipe.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace qlm::net {

CRelayPipe::~CRelayPipe() {
  if (read_fd_ >= 0) {
    ::close(read_fd_);
    ::close(write_fd_);
  }
}

bool CRelayPipe::Open() {
  if (read_fd_ >= 0) {
    return true;
  }
  // splice has no MSG_NOSIGNAL: a write to a peer that reset raises SIGPIPE.
  // Blocked on the relaying thread, it stays pending there and the write
  // fails with EPIPE like a send, whatever the process does with the signal.
  sigset_t broken_pipe;
  sigemptyset(&broken_pipe);
  sigaddset(&broken_pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &broken_pipe, nullptr);
  int fds[2];
  if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
    return false;
  }
  read_fd_ = fds[0];
  write_fd_ = fds[1];
  return true;
}

ssize_t CRelayPipe::FillFrom(int fd, size_t max) {
  const ssize_t moved =
      ::splice(fd, nullptr, write_fd_, nullptr, max, SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
  if (moved > 0) {
    pending_ += static_cast<size_t>(moved);
  }
  return moved;
}

ssize_t CRelayPipe::DrainTo(int fd) {
  const ssize_t moved =
      ::splice(read_fd_, nullptr, fd, nullptr, pending_, SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
  if (moved > 0) {
    pending_ -= static_cast<size_t>(moved);
  }
  return moved;
}

size_t CRelayPipe::ReadOut(char* buffer, size_t size) {
  size_t taken = 0;
  while (taken < size) {
    const ssize_t got = ::read(read_fd_, buffer + taken, size - taken);
    if (got <= 0) {
      break;
    }
    taken += static_cast<size_t>(got);
  }
  pending_ -= taken;
  return taken;
}

}  // namespace qlm::net
