// The tests' manager.
#include "tests/e2e/support/manager_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "tests/support/loopback.h"

namespace qlm::test {

// Reads wait up to the deadline and then report the end of the stream.
class CManagerClient::SocketFile : public net::CFile {
 public:
  SocketFile(int fd, std::chrono::milliseconds deadline) : fd_(fd), deadline_(deadline) {}
  size_t Read(void* buffer, size_t count) override {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(deadline_.count())) <= 0) {
      return 0;
    }
    const ssize_t n = ::recv(fd_, buffer, count, 0);
    return n > 0 ? static_cast<size_t>(n) : 0;
  }
  void Write(const void* buffer, size_t count) override {
    const char* data = static_cast<const char*>(buffer);
    while (count > 0) {
      const ssize_t n = ::send(fd_, data, count, MSG_NOSIGNAL);
      if (n <= 0) {
        throw net::CFileException(errno, "manager client write");
      }
      data += n;
      count -= static_cast<size_t>(n);
    }
  }
  void Close() override {}

 private:
  int fd_;
  std::chrono::milliseconds deadline_;
};

CManagerClient::CManagerClient(std::chrono::milliseconds read_deadline)
    : read_deadline_(read_deadline) {}

CManagerClient::~CManagerClient() { Close(); }

bool CManagerClient::Connect(const std::string& ip, uint16_t port) {
  Close();
  fd_ = ConnectTcp(ip, port);
  if (fd_ < 0) {
    return false;
  }
  file_ = std::make_unique<SocketFile>(fd_, read_deadline_);
  load_ = std::make_unique<link::CArchive>(file_.get(), link::CArchive::load);
  store_ = std::make_unique<link::CArchive>(file_.get(), link::CArchive::store);
  return true;
}

void CManagerClient::Send(const link::CMsg& msg) {
  msg.Store(*store_);
  store_->Flush();
}

std::optional<link::CMsg> CManagerClient::Receive() {
  link::CMsg msg;
  try {
    msg.Load(*load_);
  } catch (const link::CArchiveException&) {
    return std::nullopt;
  }
  return msg;
}

std::optional<link::CMsg> CManagerClient::ReceiveType(uint32_t type) {
  for (int i = 0; i < 10000; ++i) {
    std::optional<link::CMsg> msg = Receive();
    if (!msg || msg->type == type) {
      return msg;
    }
  }
  return std::nullopt;
}

bool CManagerClient::ClosedByEngine() {
  // Whatever the engine still sends before it closes is read and dropped.
  const auto end = std::chrono::steady_clock::now() + read_deadline_;
  char buffer[4096];
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) {
      continue;
    }
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
      return true;  // closed, or reset by the engine's exit
    }
  }
  return false;
}

void CManagerClient::Close() {
  load_.reset();
  store_.reset();
  file_.reset();
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace qlm::test
