// The stand-in engine.
#include "tests/manager/fake_engine.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <cstring>

#include "link/archive.h"
#include "net/file.h"
#include "tests/support/loopback.h"

namespace qlm::test {

namespace {

class CMemoryFile : public net::CFile {
 public:
  size_t Read(void*, size_t) override { return 0; }
  void Write(const void* buffer, size_t count) override {
    bytes.append(static_cast<const char*>(buffer), count);
  }
  void Close() override {}
  std::string bytes;
};

using Clock = std::chrono::steady_clock;

}  // namespace

std::string MsgBytes(const link::CMsg& msg) {
  CMemoryFile file;
  {
    link::CArchive archive(&file, link::CArchive::store);
    msg.Store(archive);
    archive.Flush();
  }
  return file.bytes;
}

void EnsureCoreApplication() {
  if (QCoreApplication::instance() == nullptr) {
    static int argc = 1;
    static char name[] = "manager_tests";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
  }
}

bool PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds deadline) {
  const Clock::time_point end = Clock::now() + deadline;
  while (!pred()) {
    if (Clock::now() >= end) {
      return pred();
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ::poll(nullptr, 0, 1);  // the polling interval, as WaitUntil's
  }
  return true;
}

CFakeEngine::CFakeEngine(const std::string& ip) { listen_fd_ = ListenTcp(ip, &port_); }

CFakeEngine::~CFakeEngine() {
  Drop();
  StopListening();
}

bool CFakeEngine::Pending() const {
  pollfd entry{listen_fd_, POLLIN, 0};
  return listen_fd_ >= 0 && ::poll(&entry, 1, 0) == 1;
}

bool CFakeEngine::Accept(std::chrono::milliseconds deadline) {
  if (!PumpUntil([this] { return Pending(); }, deadline)) {
    return false;
  }
  Drop();
  fd_ = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
  return fd_ >= 0;
}

std::string CFakeEngine::Read(size_t count, std::chrono::milliseconds deadline) {
  std::string got;
  PumpUntil(
      [&] {
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, 0) == 1) {
          char buffer[4096];
          const ssize_t n = ::recv(fd_, buffer, std::min(sizeof buffer, count - got.size()), 0);
          if (n <= 0) {
            return true;  // closed: give back what came
          }
          got.append(buffer, static_cast<size_t>(n));
        }
        return got.size() >= count;
      },
      deadline);
  return got;
}

bool CFakeEngine::Send(const std::string& bytes) { return fd_ >= 0 && WriteAll(fd_, bytes); }

void CFakeEngine::Drop(bool reset) {
  if (fd_ < 0) {
    return;
  }
  if (reset) {
    linger hard{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  }
  ::close(fd_);
  fd_ = -1;
}

bool CFakeEngine::PeerClosed(std::chrono::milliseconds deadline) {
  return PumpUntil(
      [&] {
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, 0) != 1) {
          return false;
        }
        char byte;
        return ::recv(fd_, &byte, 1, MSG_DONTWAIT) <= 0;
      },
      deadline);
}

void CFakeEngine::StopListening() {
  if (listen_fd_ >= 0) {
    ::close(listen_fd_);
    listen_fd_ = -1;
  }
}

}  // namespace qlm::test
