// The receive buffer of a text protocol's connection and the taking of lines
// from it, without any socket: the socket class fills it, this class decides
// where a line ends, whether it is acceptable and when the buffer may grow no
// further. One receive is never taken as one line: bytes wait here until
// their LF comes. HTTP heads, FTP, POP3, SMTP and Telnet command lines all
// read through it, each with its own limits and byte rule.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qlm::net {

struct LineLimits {
  size_t start = 512;    // buffer at construction
  size_t step = 512;     // growth when full
  size_t limit = 32768;  // a line's LF must show within this many bytes
  // A byte that may not stand in a line; null: every byte may.
  bool (*unsafe)(unsigned char byte) = nullptr;
};

class CLineBuffer {
 public:
  // Outcome of a scan for one line.
  enum class Scan { kLine, kTooLong, kUnsafe, kNeedMore };

  explicit CLineBuffer(const LineLimits& limits = {});

  // Looks for a whole line (LF included) in what is buffered. kLine: the line
  // fits `out_size` with a byte to spare; it is moved into *line (replacing its
  // contents) and removed from the buffer. kTooLong: it does not fit, or
  // out_size < 2; nothing is consumed. kUnsafe: an unsafe byte stands before
  // the first LF. kNeedMore: no LF yet.
  Scan TakeLine(size_t out_size, std::string* line);

  // Room for the next receive: grows the buffer by one step when full.
  // nullptr when the buffer may not grow (it would pass the limit): the line
  // is too long.
  char* ReceiveSpace(size_t* room);
  // Counts `count` received bytes into the buffer.
  void Commit(size_t count);

  const char* Data() const { return data_.data(); }
  size_t Count() const { return count_; }
  size_t Capacity() const { return data_.size(); }
  // Removes `count` bytes from the front (body relay from the buffer).
  void Consume(size_t count);
  void Clear();

 private:
  LineLimits limits_;
  std::vector<char> data_;
  size_t count_ = 0;
  // Bytes before this offset are known acceptable and free of LF.
  size_t scanned_ = 0;
};

}  // namespace qlm::net
