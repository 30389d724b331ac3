// The echo of log lines.
#include "engine/log_echo.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>

#include "net/wait_set.h"

namespace qlm::engine {

namespace {

std::atomic<int> echo_fd{-1};
std::mutex echo_mutex;
unsigned long long skipped = 0;  // Guarded by echo_mutex

// Writes `text` only if `fd` can take it now. A line (at most 355 bytes) is
// below the pipe's atomic size, so once the descriptor reports room the write
// goes through whole; under echo_mutex no other echo takes that room first.
bool WriteWithoutWaiting(int fd, const std::string& text) {
  net::CWaitSet waits;
  const size_t index = waits.Add(fd, POLLOUT);
  if (waits.Wait(net::Timeout{0}) != net::CWaitSet::Result::kReady ||
      !waits.Ready(index, POLLOUT)) {
    return false;
  }
  ssize_t written;
  do {
    written = ::write(fd, text.data(), text.size());
  } while (written < 0 && errno == EINTR);
  return written == static_cast<ssize_t>(text.size());
}

}  // namespace

void SetLogEcho(int fd) { echo_fd.store(fd); }

bool LogEchoOn() { return echo_fd.load() >= 0; }

void EchoLogLine(const std::string& line) {
  const int fd = echo_fd.load();
  if (fd < 0) {
    return;
  }
  std::lock_guard<std::mutex> lock(echo_mutex);
  if (skipped > 0) {
    char notice[128];
    std::snprintf(notice, sizeof notice, kEchoSkippedFormat, skipped);
    if (!WriteWithoutWaiting(fd, std::string(notice) + "\n")) {
      ++skipped;
      return;
    }
    skipped = 0;
  }
  if (!WriteWithoutWaiting(fd, line + "\n")) {
    ++skipped;
  }
}

}  // namespace qlm::engine
