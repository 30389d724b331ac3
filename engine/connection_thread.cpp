// Connection and datagram threads, with a small cache of finished ones.
#include "engine/connection_thread.h"

#include <malloc.h>
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "engine/activity_log.h"
#include "engine/stack_trim.h"
#include "engine/timeout_overrides.h"

namespace qlm::engine {
namespace {

// A connection thread's stack. The deepest worker path measured across the
// end-to-end suite touched 24 KiB; the default 8 MiB would reserve gigabytes
// of address space and commit charge at a few thousand connections. The
// sanitizers' instrumented frames are several times larger: they keep the
// default.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr size_t kConnectionStackSize = 0;
#else
constexpr size_t kConnectionStackSize = 256 * 1024;
#endif

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer's allocator keeps freed memory in its quarantine and free
// lists; this hands it back, as malloc_trim does for the C library's.
extern "C" void __sanitizer_purge_allocator();
void GiveBackFreedMemory() { __sanitizer_purge_allocator(); }
#else
void GiveBackFreedMemory() { malloc_trim(0); }
#endif

// Finished threads wait this long for the next connection before they end,
// at most this many at a time. Creating and ending a thread (the kernel task,
// its stack mapping, the address-space flush on exit) was most of the cost of
// setting up a short connection; a burst now reuses the threads of the last.
constexpr size_t kMaxParked = 64;
constexpr net::Timeout kParkedLife{10000};

net::Timeout ParkedLife() {
  static const net::Timeout life = TimeoutOr("engine.parked_thread_life", kParkedLife);
  return life;
}

struct Job {
  ConnectionThreadProc proc;
  ConnectionContextPtr context;
};

class CThreadCache {
 public:
  // Hands the job to a parked thread; false (the job untouched) when none waits.
  bool Hand(Job& job) {
    std::lock_guard lock(mutex_);
    if (parked_.empty()) {
      return false;
    }
    Waiting* taker = parked_.back();  // the most recent: its stack is still warm
    parked_.pop_back();
    taker->job.emplace(std::move(job));
    // Under the lock: the taker's condition variable lives on its stack and
    // is gone as soon as it returns from its wait, which needs this lock.
    taker->ready.notify_one();
    return true;
  }

  // Called by a thread whose connection has ended: the next job, or none when
  // the cache is full or no connection came within the parked life.
  size_t Parked() {
    std::lock_guard lock(mutex_);
    return parked_.size();
  }

  std::optional<Job> Park() {
    Waiting self;
    std::unique_lock lock(mutex_);
    if (parked_.size() >= kMaxParked) {
      return std::nullopt;
    }
    parked_.push_back(&self);
    const auto has_job = [&] { return self.job.has_value(); };
    const net::Timeout life = ParkedLife();
    const net::Timeout settle = std::min<net::Timeout>(life, kStackSettleTime);
    if (!self.ready.wait_for(lock, settle, has_job)) {
      lock.unlock();
      ReleaseIdleStack();  // parked for a while: keep no more than it needs
      lock.lock();
      if (!self.ready.wait_for(lock, life - settle, has_job)) {
        parked_.erase(std::find(parked_.begin(), parked_.end(), &self));
        const bool last = parked_.empty();
        lock.unlock();
        if (last) {
          // No connection for the parked life: a burst is over. The memory
          // its threads freed goes back to the system, not only to the
          // allocator's free lists.
          GiveBackFreedMemory();
        }
        return std::nullopt;
      }
    }
    return std::move(self.job);
  }

 private:
  struct Waiting {
    std::condition_variable ready;
    std::optional<Job> job;
  };
  std::mutex mutex_;
  std::vector<Waiting*> parked_;
};

// Never destroyed: parked threads may still wait on it while the process ends.
CThreadCache& Cache() {
  static CThreadCache* cache = new CThreadCache;
  return *cache;
}

void* ConnectionThreadMain(void* argument) {
  std::optional<Job> job(std::move(*static_cast<Job*>(argument)));
  delete static_cast<Job*>(argument);
  while (job) {
    job->proc(std::move(job->context));
    job.reset();
    job = Cache().Park();
  }
  return nullptr;
}

}  // namespace

size_t ParkedConnectionThreads() { return Cache().Parked(); }

bool StartConnectionThread(ConnectionThreadProc proc, ConnectionContextPtr context,
                           const char* daemon_name) {
  Job job{proc, std::move(context)};
  if (Cache().Hand(job)) {
    return true;
  }
  auto start = std::make_unique<Job>(std::move(job));
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  if (kConnectionStackSize != 0) {
    pthread_attr_setstacksize(&attributes, kConnectionStackSize);
  }
  pthread_t thread;
  const int failed = pthread_create(&thread, &attributes, ConnectionThreadMain, start.get());
  pthread_attr_destroy(&attributes);
  if (failed != 0) {
    WriteLog(ThisThread(), kKindError, kThreadStartFailedFormat, daemon_name);
    return false;  // `start` takes the context, and so the connection, with it
  }
  start.release();  // the thread owns it now
  return true;
}

}  // namespace qlm::engine
