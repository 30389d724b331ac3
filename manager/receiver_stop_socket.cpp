// The receiver's stop socket.
#include "manager/receiver_stop_socket.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace qlm::manager {

CReceiverStopSocket::CReceiverStopSocket() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CReceiverStopSocket::~CReceiverStopSocket() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

void CReceiverStopSocket::Signal() {
  if (fd_ < 0) {
    return;
  }
  const uint64_t one = 1;
  // Nobody reads the counter, so it stays readable; a full counter is still set.
  [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
}

bool CReceiverStopSocket::IsSignalled() const {
  if (fd_ < 0) {
    return false;
  }
  pollfd entry{fd_, POLLIN, 0};
  return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN) != 0;
}

}  // namespace qlm::manager
