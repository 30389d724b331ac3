// The archive's byte handling: little-endian integers, the string length
// forms and string lists, buffered in both directions.
#include "link/archive.h"

#include <algorithm>
#include <cstring>

namespace qlm::link {

namespace {

constexpr const char* kEndOfStreamText = "CArchive:end of stream";
constexpr const char* kWrongModeText = "CArchive:wrong direction";
constexpr const char* kTooLongText = "CArchive:string too long";
// A list announces its count before any element arrives: reserve no more than
// this up front, so a hostile count costs nothing until elements come.
constexpr uint32_t kListReserveLimit = 1024;

}  // namespace

CArchive::CArchive(net::CFile* file, Mode mode, size_t buffer_size)
    : file_(file), mode_(mode), buffer_(std::max<size_t>(buffer_size, 16)) {}

CArchive::~CArchive() = default;

void CArchive::RequireMode(Mode mode) const {
  if (mode_ != mode) {
    throw CArchiveException(CArchiveException::kWrongMode, kWrongModeText);
  }
}

void CArchive::Flush() {
  RequireMode(store);
  if (end_ > 0) {
    // Forget the bytes before writing: after a failed write the stream is
    // broken anyway, and a retry would repeat half a message.
    const size_t count = end_;
    end_ = 0;
    file_->Write(buffer_.data(), count);
  }
}

void CArchive::Write(const void* data, size_t count) {
  RequireMode(store);
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (count > 0) {
    if (end_ == buffer_.size()) {
      Flush();
    }
    const size_t chunk = std::min(count, buffer_.size() - end_);
    std::memcpy(buffer_.data() + end_, bytes, chunk);
    end_ += chunk;
    bytes += chunk;
    count -= chunk;
  }
}

void CArchive::FillBuffer() {
  if (pos_ == end_) {
    pos_ = end_ = 0;
  } else if (end_ == buffer_.size()) {
    // Move the unread tail to the front to make room.
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  const size_t got = file_->Read(buffer_.data() + end_, buffer_.size() - end_);
  if (got == 0) {
    throw CArchiveException(CArchiveException::kEndOfFile, kEndOfStreamText);
  }
  end_ += std::min(got, buffer_.size() - end_);
}

void CArchive::Read(void* data, size_t count) {
  RequireMode(load);
  auto* bytes = static_cast<uint8_t*>(data);
  while (count > 0) {
    if (pos_ == end_) {
      FillBuffer();
    }
    const size_t chunk = std::min(count, end_ - pos_);
    std::memcpy(bytes, buffer_.data() + pos_, chunk);
    pos_ += chunk;
    bytes += chunk;
    count -= chunk;
  }
}

CArchive& CArchive::operator<<(uint8_t value) {
  Write(&value, 1);
  return *this;
}

CArchive& CArchive::operator<<(uint16_t value) {
  const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
  Write(bytes, 2);
  return *this;
}

CArchive& CArchive::operator<<(uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  Write(bytes, 4);
  return *this;
}

CArchive& CArchive::operator>>(uint8_t& value) {
  Read(&value, 1);
  return *this;
}

CArchive& CArchive::operator>>(uint16_t& value) {
  uint8_t bytes[2];
  Read(bytes, 2);
  value = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
  return *this;
}

CArchive& CArchive::operator>>(uint32_t& value) {
  uint8_t bytes[4];
  Read(bytes, 4);
  value = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
          (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  return *this;
}

CArchive& CArchive::operator<<(const std::string& value) {
  const size_t length = value.size();
  if (length > UINT32_MAX) {
    throw CArchiveException(CArchiveException::kBadLength, kTooLongText);
  }
  if (length < kStringShortEscape) {
    *this << static_cast<uint8_t>(length);
  } else if (length < kStringWideMark) {
    *this << kStringShortEscape << static_cast<uint16_t>(length);
  } else {
    *this << kStringShortEscape << kStringWordEscape << static_cast<uint32_t>(length);
  }
  Write(value.data(), length);
  return *this;
}

// The length forms, as every reader of this format takes them: a byte; at
// 0xFF a word; a word of 0xFFFE switches to 16-bit characters and starts the
// length over (where 0xFFFE is then an ordinary length); a word of 0xFFFF is
// followed by the 4-byte length.
uint32_t CArchive::ReadStringLength(bool* wide) {
  *wide = false;
  uint8_t byte_length = 0;
  *this >> byte_length;
  if (byte_length < kStringShortEscape) {
    return byte_length;
  }
  uint16_t word_length = 0;
  *this >> word_length;
  if (word_length == kStringWideMark) {
    *wide = true;
    *this >> byte_length;
    if (byte_length < kStringShortEscape) {
      return byte_length;
    }
    *this >> word_length;
  }
  if (word_length < kStringWordEscape) {
    return word_length;
  }
  uint32_t long_length = 0;
  *this >> long_length;
  return long_length;
}

void CArchive::ReadChars(std::string& value, uint32_t length) {
  // Append what each read brings instead of sizing for the announced length.
  size_t remaining = length;
  while (remaining > 0) {
    if (pos_ == end_) {
      FillBuffer();
    }
    const size_t chunk = std::min(remaining, end_ - pos_);
    value.append(reinterpret_cast<const char*>(buffer_.data() + pos_), chunk);
    pos_ += chunk;
    remaining -= chunk;
  }
}

void CArchive::ReadWideChars(std::string& value, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) {
    uint16_t unit = 0;
    *this >> unit;
    value.push_back(unit <= 0xFF ? static_cast<char>(unit) : '?');
  }
}

CArchive& CArchive::operator>>(std::string& value) {
  RequireMode(load);
  value.clear();
  bool wide = false;
  const uint32_t length = ReadStringLength(&wide);
  if (wide) {
    ReadWideChars(value, length);
  } else {
    ReadChars(value, length);
  }
  return *this;
}

void CArchive::WriteCount(uint32_t count) {
  if (count < kCountWordEscape) {
    *this << static_cast<uint16_t>(count);
  } else {
    *this << kCountWordEscape << count;
  }
}

uint32_t CArchive::ReadCount() {
  uint16_t word_count = 0;
  *this >> word_count;
  if (word_count != kCountWordEscape) {
    return word_count;
  }
  uint32_t count = 0;
  *this >> count;
  return count;
}

void CArchive::WriteStringList(const CStringList& list) {
  if (list.size() > UINT32_MAX) {
    throw CArchiveException(CArchiveException::kBadLength, kTooLongText);
  }
  WriteCount(static_cast<uint32_t>(list.size()));
  for (const std::string& item : list) {
    *this << item;
  }
}

void CArchive::ReadStringList(CStringList& list) {
  list.clear();
  const uint32_t count = ReadCount();
  list.reserve(std::min(count, kListReserveLimit));
  for (uint32_t i = 0; i < count; ++i) {
    list.emplace_back();
    *this >> list.back();
  }
}

}  // namespace qlm::link
