// The archive both programs serialise manager messages through: a buffered,
// one-direction stream of little-endian integers, strings and string lists
// over a CFile (on the channel, a socket file; in tests, memory).
//
// Wire forms:
//   integers   little-endian, 1, 2 or 4 bytes
//   string     length (see link/msg_wire.h), then the 8-bit characters
//   list       count (2 bytes, or 0xFFFF + 4 bytes), then each string
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/msg_wire.h"
#include "net/file.h"

namespace qlm::link {

// A string list as it travels: head to tail.
using CStringList = std::vector<std::string>;

// A loading archive met the end of the stream inside a value, or a storing
// archive was asked for something it cannot write.
class CArchiveException : public std::runtime_error {
 public:
  enum Cause { kEndOfFile, kBadLength, kWrongMode };
  CArchiveException(Cause cause, const std::string& what)
      : std::runtime_error(what), cause_(cause) {}
  Cause GetCause() const { return cause_; }

 private:
  Cause cause_;
};

class CArchive {
 public:
  enum Mode { load, store };

  // The file is not owned and must outlive the archive.
  CArchive(net::CFile* file, Mode mode, size_t buffer_size = kArchiveBufferSize);
  // Does not flush: whatever a storing archive still buffers is dropped, as a
  // torn-down channel must not block on its peer.
  ~CArchive();
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  bool IsLoading() const { return mode_ == load; }
  bool IsStoring() const { return mode_ == store; }

  // Storing: hands every buffered byte to the file (which may throw).
  void Flush();
  // Loading: whether no read-ahead bytes are left in the buffer.
  bool IsBufferEmpty() const { return pos_ == end_; }

  // Raw bytes. Read fills `count` bytes exactly, reading the file as often as
  // needed; the end of the stream throws CArchiveException(kEndOfFile).
  void Write(const void* data, size_t count);
  void Read(void* data, size_t count);

  CArchive& operator<<(uint8_t value);
  CArchive& operator<<(uint16_t value);
  CArchive& operator<<(uint32_t value);
  CArchive& operator<<(const std::string& value);
  CArchive& operator>>(uint8_t& value);
  CArchive& operator>>(uint16_t& value);
  CArchive& operator>>(uint32_t& value);
  // Accepts every length form, including 16-bit characters, which become
  // 8-bit text (code units above 0xFF become '?'). Memory grows only with
  // the bytes that actually arrive, whatever length is announced.
  CArchive& operator>>(std::string& value);

  void WriteCount(uint32_t count);
  uint32_t ReadCount();
  void WriteStringList(const CStringList& list);
  // Replaces `list`; like strings, grows only with what arrives.
  void ReadStringList(CStringList& list);

 private:
  void RequireMode(Mode mode) const;
  // Loading: reads once from the file into the free buffer space; throws at
  // the end of the stream.
  void FillBuffer();
  uint32_t ReadStringLength(bool* wide);
  void ReadChars(std::string& value, uint32_t length);
  void ReadWideChars(std::string& value, uint32_t length);

  net::CFile* file_;
  Mode mode_;
  std::vector<uint8_t> buffer_;
  // Loading: unread bytes are [pos_, end_). Storing: [0, end_) is pending.
  size_t pos_ = 0;
  size_t end_ = 0;
};

}  // namespace qlm::link
