// A descriptor the test holds; closed when the holder goes, so a failed
// assertion never leaks it into the next test.
#pragma once

#include <unistd.h>

#include <utility>

namespace qlm::test {

class CScopedFd {
 public:
  CScopedFd() = default;
  explicit CScopedFd(int fd) : fd_(fd) {}
  ~CScopedFd() { Reset(); }
  CScopedFd(CScopedFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  CScopedFd& operator=(CScopedFd&& other) noexcept {
    if (this != &other) {
      Reset(std::exchange(other.fd_, -1));
    }
    return *this;
  }
  CScopedFd(const CScopedFd&) = delete;
  CScopedFd& operator=(const CScopedFd&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release() { return std::exchange(fd_, -1); }
  void Reset(int fd = -1) {
    if (fd_ >= 0) {
      ::close(fd_);
    }
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

}  // namespace qlm::test
