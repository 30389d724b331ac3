// The byte-stream file interface that archives read and write through (the
// manager channel's serialisation runs over a socket through it, tests run
// it over memory).
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace qlm::net {

// A file failure (generic cause with the platform error), as opposed to a
// socket-layer CBlockingSocketException.
class CFileException : public std::runtime_error {
 public:
  explicit CFileException(int error, const std::string& what = "file exception")
      : std::runtime_error(what), error_(error) {}
  int Error() const { return error_; }

 private:
  int error_;
};

class CFile {
 public:
  virtual ~CFile() = default;
  // Reads up to `count` bytes; returns how many came (0 = end of stream).
  virtual size_t Read(void* buffer, size_t count) = 0;
  // Writes all `count` bytes or throws.
  virtual void Write(const void* buffer, size_t count) = 0;
  virtual void Close() = 0;
};

}  // namespace qlm::net
