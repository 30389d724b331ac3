// The engine-wide stop wake-up: an eventfd that is written once at stop and
// never read again, so it stays readable for every wait that includes it.
#include "net/shutdown_socket.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace qlm::net {

CShutdownSocket& CShutdownSocket::Instance() {
  static CShutdownSocket instance;
  return instance;
}

CShutdownSocket::CShutdownSocket() {
  fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd_ < 0) {
    // Without a wake-up no wait could end at stop; refuse to run at all.
    throw std::system_error(errno, std::generic_category(), "eventfd");
  }
}

void CShutdownSocket::Close() {
  if (closed_.exchange(true)) {
    return;
  }
  const uint64_t one = 1;
  // A full counter is the only failure and still leaves it readable.
  [[maybe_unused]] ssize_t written = write(fd_, &one, sizeof(one));
}

bool CShutdownSocket::IsClosed() const { return closed_.load(); }

void CShutdownSocket::ResetForTest() {
  uint64_t value = 0;
  while (read(fd_, &value, sizeof(value)) > 0) {
  }
  closed_.store(false);
}

}  // namespace qlm::net
