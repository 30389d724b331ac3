// Line taking over the receive buffer: its limits and its byte rule.
#include "net/line_buffer.h"

#include <algorithm>
#include <cstring>

namespace qlm::net {

CLineBuffer::CLineBuffer(const LineLimits& limits) : limits_(limits), data_(limits.start) {}

CLineBuffer::Scan CLineBuffer::TakeLine(size_t out_size, std::string* line) {
  if (out_size < 2) {
    return Scan::kTooLong;
  }
  for (size_t i = scanned_; i < count_; ++i) {
    const auto byte = static_cast<unsigned char>(data_[i]);
    if (limits_.unsafe != nullptr && limits_.unsafe(byte)) {
      scanned_ = i;
      return Scan::kUnsafe;
    }
    if (byte == '\n') {
      scanned_ = i;
      const size_t length = i + 1;
      if (length >= out_size) {
        return Scan::kTooLong;
      }
      line->assign(data_.data(), length);
      Consume(length);
      return Scan::kLine;
    }
  }
  scanned_ = count_;
  return Scan::kNeedMore;
}

char* CLineBuffer::ReceiveSpace(size_t* room) {
  if (count_ == data_.size()) {
    const size_t grown = data_.size() + limits_.step;
    if (grown > limits_.limit) {
      *room = 0;
      return nullptr;
    }
    data_.resize(grown);
  }
  *room = data_.size() - count_;
  return data_.data() + count_;
}

void CLineBuffer::Commit(size_t count) { count_ = std::min(count_ + count, data_.size()); }

void CLineBuffer::Consume(size_t count) {
  count = std::min(count, count_);
  std::memmove(data_.data(), data_.data() + count, count_ - count);
  count_ -= count;
  scanned_ = 0;
}

void CLineBuffer::Clear() {
  count_ = 0;
  scanned_ = 0;
}

}  // namespace qlm::net
