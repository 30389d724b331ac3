// Connection threads: each job runs with its own context, finished threads
// take the next connection, and parked threads end after their life.
#include "engine/connection_thread.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "tests/support/wait_until.h"

namespace qlm::engine {
namespace {

// Set before main, before anything reads the overrides: parked threads end
// after 1.5 s here instead of 10.
const bool kShortLife = [] {
  setenv("QUILLMAR_TIMEOUTS", "engine.parked_thread_life=1500", 1);
  return true;
}();

std::mutex g_mutex;
std::condition_variable g_released;
bool g_release = false;  // guarded by g_mutex
std::vector<pid_t> g_tids;
std::vector<uint16_t> g_ports;
std::atomic<int> g_done{0};

void Release(bool release) {
  {
    std::lock_guard lock(g_mutex);
    g_release = release;
  }
  g_released.notify_all();
}

int RecordJob(ConnectionContextPtr context) {
  {
    std::unique_lock lock(g_mutex);
    g_released.wait(lock, [] { return g_release; });
    g_tids.push_back(gettid());
    g_ports.push_back(context->Address.sin_port);
  }
  ++g_done;
  return 0;
}

ConnectionContextPtr ContextFor(uint16_t tag) {
  auto context = std::make_unique<ConnectionContext>();
  context->Address.sin_port = tag;
  return context;
}

int ThreadsOfThisProcess() {
  int count = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(tasks)) {
      count += entry->d_name[0] != '.';
    }
    closedir(tasks);
  }
  return count;
}

void Reset() {
  std::lock_guard lock(g_mutex);
  g_tids.clear();
  g_ports.clear();
  g_done = 0;
}

TEST(ConnectionThreadTest, EachJobGetsItsOwnContextAndAFinishedThreadTakesTheNext) {
  ASSERT_TRUE(kShortLife);
  Reset();
  Release(true);
  ASSERT_TRUE(StartConnectionThread(RecordJob, ContextFor(1), "TEST"));
  ASSERT_TRUE(qlm::test::WaitUntil([] { return g_done.load() == 1; }));
  // The first thread parks after its job; the next connection finds it.
  ASSERT_TRUE(qlm::test::WaitUntil([] { return ParkedConnectionThreads() == 1; }));
  ASSERT_TRUE(StartConnectionThread(RecordJob, ContextFor(2), "TEST"));
  ASSERT_TRUE(qlm::test::WaitUntil([] { return g_done.load() == 2; }));
  std::lock_guard lock(g_mutex);
  EXPECT_EQ(g_ports, (std::vector<uint16_t>{1, 2}));
  EXPECT_EQ(g_tids[0], g_tids[1]);
}

TEST(ConnectionThreadTest, ABurstLargerThanTheCacheRunsWholeAndTheThreadsEndAfterTheirLife) {
  // A first thread started and ended: a sanitizer starts its own helper
  // thread with it, which stays.
  std::thread([] {}).join();
  const int before = ThreadsOfThisProcess();
  Reset();
  Release(false);  // every job holds its thread until all have started
  constexpr int kJobs = 150;
  for (int i = 0; i < kJobs; ++i) {
    ASSERT_TRUE(StartConnectionThread(RecordJob, ContextFor(static_cast<uint16_t>(1000 + i)), "TEST"));
  }
  Release(true);
  ASSERT_TRUE(qlm::test::WaitUntil([] { return g_done.load() == kJobs; }));
  {
    std::lock_guard lock(g_mutex);
    EXPECT_EQ(std::set<uint16_t>(g_ports.begin(), g_ports.end()).size(), static_cast<size_t>(kJobs));
  }
  EXPECT_TRUE(qlm::test::WaitUntil([] { return ParkedConnectionThreads() > 0; }));
  EXPECT_LE(ParkedConnectionThreads(), 64u);  // the rest ended at once
  // Past the parked life every cached thread has ended (bounded wait).
  EXPECT_TRUE(qlm::test::WaitUntil([&] { return ThreadsOfThisProcess() <= before; },
                                   std::chrono::milliseconds(10000)))
      << ThreadsOfThisProcess() << " threads, " << before << " before";
}

}  // namespace
}  // namespace qlm::engine
