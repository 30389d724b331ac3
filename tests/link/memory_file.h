// A CFile over memory for archive tests: writes collect in `written`, reads
// hand out `input` in segments of the sizes given (then whatever is left per
// read), like a socket receiving one segment at a time.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>

#include "net/file.h"

namespace qlm::link::test {

class CMemoryFile : public net::CFile {
 public:
  explicit CMemoryFile(std::string input = {}, std::deque<size_t> segments = {})
      : input_(std::move(input)), segments_(std::move(segments)) {}

  size_t Read(void* buffer, size_t count) override {
    ++reads;
    size_t want = input_.size() - offset_;
    if (!segments_.empty()) {
      want = std::min(want, segments_.front());
      segments_.pop_front();
    }
    const size_t n = std::min(want, count);
    std::memcpy(buffer, input_.data() + offset_, n);
    offset_ += n;
    return n;
  }
  void Write(const void* buffer, size_t count) override {
    ++writes;
    written.append(static_cast<const char*>(buffer), count);
  }
  void Close() override {}

  std::string written;
  int reads = 0;
  int writes = 0;

 private:
  std::string input_;
  std::deque<size_t> segments_;
  size_t offset_ = 0;
};

// Bytes from a list of values, for readable expectations.
inline std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) {
    out.push_back(static_cast<char>(v));
  }
  return out;
}

}  // namespace qlm::link::test
