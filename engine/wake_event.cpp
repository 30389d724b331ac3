// The wake-up descriptor: an eventfd that stays readable once written.
#include "engine/wake_event.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace qlm::engine {

CWakeEvent::CWakeEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CWakeEvent::~CWakeEvent() {
  if (fd_ >= 0) {
    close(fd_);
  }
}

void CWakeEvent::Signal() {
  if (fd_ >= 0) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(fd_, &one, sizeof one);
  }
}

}  // namespace qlm::engine
