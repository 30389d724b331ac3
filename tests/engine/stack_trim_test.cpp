// Giving back a thread's deep stack pages before a long wait.
#include "engine/stack_trim.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <thread>
#include <vector>

namespace qlm::engine {
namespace {

// Resident pages of this thread's stack.
size_t ResidentStackPages() {
  pthread_attr_t attributes;
  pthread_getattr_np(pthread_self(), &attributes);
  void* low = nullptr;
  size_t size = 0;
  pthread_attr_getstack(&attributes, &low, &size);
  pthread_attr_destroy(&attributes);
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> map(size / page);
  if (mincore(low, size, map.data()) != 0) {
    return 0;
  }
  size_t resident = 0;
  for (const unsigned char entry : map) {
    resident += entry & 1;
  }
  return resident;
}

// Touches `bytes` of stack below the caller, then returns (the pages stay).
__attribute__((noinline)) int GoDeep(size_t bytes) {
  volatile char area[64 * 1024];
  for (size_t i = 0; i < bytes && i < sizeof(area); i += 512) {
    area[i] = static_cast<char>(i);
  }
  return area[0];
}

TEST(StackTrimTest, DeepPagesTouchedOnTheWayInAreGivenBack) {
  size_t before = 0;
  size_t deep = 0;
  size_t after = 0;
  int value = 0;
  std::thread([&] {
    before = ResidentStackPages();
    value = GoDeep(60 * 1024);
    deep = ResidentStackPages();
    ReleaseIdleStack();
    after = ResidentStackPages();
  }).join();
  EXPECT_EQ(value, 0);
  EXPECT_GE(deep, before + 10);  // the 60 KiB were really touched
  EXPECT_LE(after, before + 1);  // and are gone again
}

TEST(StackTrimTest, TheCallersFramesSurviveAndStayUsable) {
  std::thread([] {
    volatile char mine[3000];
    for (size_t i = 0; i < sizeof(mine); ++i) {
      mine[i] = static_cast<char>(i * 7);
    }
    GoDeep(32 * 1024);
    ReleaseIdleStack();
    for (size_t i = 0; i < sizeof(mine); ++i) {
      ASSERT_EQ(mine[i], static_cast<char>(i * 7));
    }
    EXPECT_EQ(GoDeep(32 * 1024), 0);  // the released pages come back on use
    ReleaseIdleStack();
    ReleaseIdleStack();
  }).join();
}

}  // namespace
}  // namespace qlm::engine
