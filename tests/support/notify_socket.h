// What systemd listens on for a service's readiness: a datagram socket of the
// test's own at `path`, one datagram per notification. Anyone may send to it,
// so an engine running under its own account can.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>

namespace qlm::test {

class CNotifySocket {
 public:
  explicit CNotifySocket(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    bound_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
             ::chmod(path.c_str(), 0666) == 0;
  }
  ~CNotifySocket() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  CNotifySocket(const CNotifySocket&) = delete;
  CNotifySocket& operator=(const CNotifySocket&) = delete;

  bool Bound() const { return bound_; }

  // The next notification, or nullopt when none came within `deadline`.
  std::optional<std::string> Receive(std::chrono::milliseconds deadline) {
    pollfd wait{fd_, POLLIN, 0};
    if (::poll(&wait, 1, static_cast<int>(deadline.count())) != 1) {
      return std::nullopt;
    }
    char text[512];
    const ssize_t got = ::recv(fd_, text, sizeof text, 0);
    if (got < 0) {
      return std::nullopt;
    }
    return std::string(text, static_cast<size_t>(got));
  }

  // Whether a notification holding `text` came within `deadline`.
  bool WaitFor(const std::string& text, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (auto left = deadline; left.count() > 0;
         left = std::chrono::duration_cast<std::chrono::milliseconds>(
             end - std::chrono::steady_clock::now())) {
      const std::optional<std::string> said = Receive(left);
      if (said && said->find(text) != std::string::npos) {
        return true;
      }
    }
    return false;
  }

 private:
  int fd_ = -1;
  bool bound_ = false;
};

}  // namespace qlm::test
