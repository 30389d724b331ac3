// A kernel pipe the relay moves bytes through without copying them into the
// process (splice): socket -> pipe -> socket. Opened on first use, so an
// idle connection holds no pipe; closed with its owner.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace qlm::net {

class CRelayPipe {
 public:
  CRelayPipe() = default;
  ~CRelayPipe();
  CRelayPipe(const CRelayPipe&) = delete;
  CRelayPipe& operator=(const CRelayPipe&) = delete;

  // Opens the pipe if it is not open yet; false when the system gives none
  // (out of descriptors): the caller then copies through a buffer.
  bool Open();
  bool IsOpen() const { return read_fd_ >= 0; }

  // Moves up to `max` bytes waiting on socket `fd` into the pipe without
  // waiting: bytes moved, 0 at end of stream, -1 with errno.
  ssize_t FillFrom(int fd, size_t max);
  // Moves what the pipe holds to socket `fd` without waiting: bytes moved,
  // or -1 with errno (EAGAIN when the socket has no room).
  ssize_t DrainTo(int fd);
  // Takes up to `size` bytes out of the pipe into `buffer`; the count taken.
  size_t ReadOut(char* buffer, size_t size);
  // Bytes in the pipe not yet written out.
  size_t Pending() const { return pending_; }

 private:
  int read_fd_ = -1;
  int write_fd_ = -1;
  size_t pending_ = 0;
};

}  // namespace qlm::net
