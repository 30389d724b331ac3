// The receive buffer of an HTTP connection and the taking of text lines from
// it, without any socket: the socket class fills it, this class decides where
// a line ends, whether it is safe and when the buffer may grow no further.
// One receive is never taken as one line: bytes wait here until their LF comes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "proxies/http/http_wire.h"

namespace qlm::http {

// Control characters other than HT, LF, VT, FF and CR, and DEL, are unsafe in
// a head. Bytes 0x80-0xFF are safe: 8-bit header text keeps working.
bool IsUnsafeHeadByte(unsigned char byte);

class CLineBuffer {
 public:
  // Outcome of a scan for one line.
  enum class Scan { kLine, kTooLong, kUnsafe, kNeedMore };

  CLineBuffer();

  // Looks for a whole line (LF included) in what is buffered. kLine: the line
  // fits `out_size` with a byte to spare; it is moved into *line (replacing its
  // contents) and removed from the buffer. kTooLong: it does not fit, or
  // out_size < 2; nothing is consumed. kUnsafe: an unsafe byte stands before
  // the first LF. kNeedMore: no LF yet.
  Scan TakeLine(size_t out_size, std::string* line);

  // Room for the next receive: grows the buffer by 512 when full. nullptr when
  // the buffer may not grow (it would pass 32,768 bytes): the line is too long.
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
  std::vector<char> data_;
  size_t count_ = 0;
  // Bytes before this offset are known safe and free of LF.
  size_t scanned_ = 0;
};

}  // namespace qlm::http
