#include "engine/stack_trim.h"

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace qlm::engine {
namespace {

// Kept below the caller's frame: the frames of the system call wrapper about
// to run (and a signal handler, should one run) must not lose their page.
constexpr uintptr_t kHeadroom = 1024;

// The lowest usable address of this thread's stack, found once per thread.
uintptr_t StackLow() {
  thread_local uintptr_t low = 0;
  if (low == 0) {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
      void* address = nullptr;
      size_t size = 0;
      if (pthread_attr_getstack(&attributes, &address, &size) == 0) {
        low = reinterpret_cast<uintptr_t>(address);
      }
      pthread_attr_destroy(&attributes);
    }
  }
  return low;
}

}  // namespace

void ReleaseIdleStack() {
  static const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t low = StackLow();
  volatile char here = 0;
  const uintptr_t frame = reinterpret_cast<uintptr_t>(&here);
  if (low == 0 || frame < low + kHeadroom + page) {
    return;
  }
  const uintptr_t first = (low + page - 1) & ~(page - 1);
  const uintptr_t end = (frame - kHeadroom) & ~(page - 1);
  if (end > first) {
    madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTNEED);
  }
}

}  // namespace qlm::engine
