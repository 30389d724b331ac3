// Connection and datagram threads.
#include "engine/connection_thread.h"

#include <pthread.h>

#include <memory>
#include <utility>

#include "engine/activity_log.h"

namespace qlm::engine {
namespace {

// A connection thread's stack. The deepest worker path (a name lookup under
// a log line inside a relay's error report) stays far below this; the
// default 8 MiB would reserve gigabytes of address space and commit charge
// at a few thousand connections, and only small stacks are kept in the
// library's cache of freed stacks, which spares each new connection two
// memory mappings. The sanitizers' instrumented frames are several times
// larger: they keep the default.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr size_t kConnectionStackSize = 0;
#else
constexpr size_t kConnectionStackSize = 256 * 1024;
#endif

struct ThreadStart {
  ConnectionThreadProc proc;
  ConnectionContextPtr context;
};

void* ConnectionThreadMain(void* argument) {
  std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(argument));
  start->proc(std::move(start->context));
  return nullptr;
}

}  // namespace

bool StartConnectionThread(ConnectionThreadProc proc, ConnectionContextPtr context,
                           const char* daemon_name) {
  auto start = std::make_unique<ThreadStart>(ThreadStart{proc, std::move(context)});
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
