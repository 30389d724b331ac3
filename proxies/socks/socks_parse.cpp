// The handshake parsers: each keeps how far it has got, so a request may
// arrive in any number of pieces.
#include "proxies/socks/socks_parse.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qlm::socks {
namespace {

uint16_t Load16(const uint8_t* p) {
  uint16_t value;
  std::memcpy(&value, p, sizeof(value));
  return value;
}
uint32_t Load32(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, sizeof(value));
  return value;
}

}  // namespace

uint8_t DetectVersion(uint8_t first_byte) {
  return first_byte == kVersion4 || first_byte == kVersion5 ? first_byte : 0;
}

// SOCKS 4 ---------------------------------------------------------------

ParseStatus CSocks4RequestParser::Feed(const uint8_t* data, size_t size, size_t* used) {
  size_t taken = 0;
  while (taken < size && state_ == State::kHeader) {
    const size_t n = std::min(kSocks4HeaderSize - filled_, size - taken);
    std::memcpy(header_ + filled_, data + taken, n);
    filled_ += n;
    taken += n;
    if (filled_ == kSocks4HeaderSize) {
      const bool known = header_[1] == kCmdConnect || header_[1] == kCmdBind;
      state_ = header_[0] == kVersion4 && known ? State::kUser : State::kInvalid;
    }
  }
  while (taken < size && state_ == State::kUser) {
    const uint8_t byte = data[taken++];
    if (byte == 0) {
      state_ = State::kDone;
    } else if (user_.size() < kUserNameMax) {
      user_.push_back(static_cast<char>(byte));
    }
  }
  *used = taken;
  switch (state_) {
    case State::kDone:
      return ParseStatus::kDone;
    case State::kInvalid:
      return ParseStatus::kInvalid;
    default:
      return ParseStatus::kNeedMore;
  }
}

size_t CSocks4RequestParser::Wanted() const {
  switch (state_) {
    case State::kHeader:
      return kSocks4HeaderSize - filled_;
    case State::kUser:
      return 1;
    default:
      return 0;
  }
}

uint16_t CSocks4RequestParser::port() const { return Load16(header_ + 2); }
uint32_t CSocks4RequestParser::address() const { return Load32(header_ + 4); }

// SOCKS 5 method selection -------------------------------------------------

ParseStatus CSocks5MethodParser::Feed(const uint8_t* data, size_t size, size_t* used) {
  size_t taken = 0;
  while (taken < size && state_ != State::kDone && state_ != State::kInvalid) {
    const uint8_t byte = data[taken++];
    switch (state_) {
      case State::kVersion:
        state_ = byte == kVersion5 ? State::kCount : State::kInvalid;
        break;
      case State::kCount:
        count_ = byte;
        state_ = count_ == 0 ? State::kInvalid : State::kMethods;
        break;
      default:
        no_auth_ = no_auth_ || byte == kMethodNoAuth;
        if (++seen_ == count_) {
          state_ = State::kDone;
        }
        break;
    }
  }
  *used = taken;
  if (state_ == State::kDone) {
    return ParseStatus::kDone;
  }
  return state_ == State::kInvalid ? ParseStatus::kInvalid : ParseStatus::kNeedMore;
}

size_t CSocks5MethodParser::Wanted() const {
  switch (state_) {
    case State::kVersion:
    case State::kCount:
      return 1;
    case State::kMethods:
      return count_ - seen_;
    default:
      return 0;
  }
}

// SOCKS 5 request -----------------------------------------------------------

void CSocks5RequestParser::HeadComplete() {
  filled_ = 0;
  if (head_[0] != kVersion5) {
    state_ = State::kInvalid;
    return;
  }
  const uint8_t cmd = head_[1];
  if (cmd != kCmdConnect && cmd != kCmdBind && cmd != kCmdUdpAssociate) {
    reply_ = kRepCommandNotSupported;
    discard_rest_ = true;
    state_ = State::kDone;
    return;
  }
  switch (head_[3]) {
    case kAtypIpv4:
      body_size_ = 4 + 2;
      state_ = State::kIpv4;
      break;
    case kAtypDomain:
      state_ = State::kNameLength;
      break;
    case kAtypIpv6:
      body_size_ = 16 + 2;
      state_ = State::kIpv6;
      break;
    default:
      reply_ = kRepAddressTypeNotSupported;
      discard_rest_ = true;
      state_ = State::kDone;
      break;
  }
}

void CSocks5RequestParser::BodyComplete() {
  if (state_ == State::kIpv6) {
    reply_ = kRepAddressTypeNotSupported;
  } else if (state_ == State::kName) {
    name_.assign(reinterpret_cast<const char*>(body_), body_size_ - 2);
  }
  state_ = State::kDone;
}

ParseStatus CSocks5RequestParser::Feed(const uint8_t* data, size_t size, size_t* used) {
  size_t taken = 0;
  while (taken < size && state_ != State::kDone && state_ != State::kInvalid) {
    if (state_ == State::kHead) {
      const size_t n = std::min(kSocks5RequestHeadSize - filled_, size - taken);
      std::memcpy(head_ + filled_, data + taken, n);
      filled_ += n;
      taken += n;
      if (filled_ == kSocks5RequestHeadSize) {
        HeadComplete();
      }
    } else if (state_ == State::kNameLength) {
      body_size_ = static_cast<size_t>(data[taken++]) + 2;
      state_ = State::kName;
    } else {
      const size_t n = std::min(body_size_ - filled_, size - taken);
      std::memcpy(body_ + filled_, data + taken, n);
      filled_ += n;
      taken += n;
      if (filled_ == body_size_) {
        BodyComplete();
      }
    }
  }
  *used = taken;
  if (state_ == State::kDone) {
    return ParseStatus::kDone;
  }
  return state_ == State::kInvalid ? ParseStatus::kInvalid : ParseStatus::kNeedMore;
}

size_t CSocks5RequestParser::Wanted() const {
  switch (state_) {
    case State::kHead:
      return kSocks5RequestHeadSize - filled_;
    case State::kNameLength:
      return 1;
    case State::kIpv4:
    case State::kName:
    case State::kIpv6:
      return body_size_ - filled_;
    default:
      return 0;
  }
}

uint32_t CSocks5RequestParser::address() const {
  return head_[3] == kAtypIpv4 ? Load32(body_) : 0;
}

uint16_t CSocks5RequestParser::port() const {
  return body_size_ >= 2 ? Load16(body_ + body_size_ - 2) : 0;
}

// UDP header and replies -----------------------------------------------------

ParseStatus ParseUdpHeader(const uint8_t* data, size_t size, UdpHeader* header) {
  if (size < kUdpMinHeader || data[0] != 0 || data[1] != 0 || data[2] != 0) {
    return ParseStatus::kInvalid;
  }
  header->address_type = data[3];
  if (data[3] == kAtypIpv4) {
    header->address = Load32(data + 4);
    header->port = Load16(data + 8);
    header->header_size = 10;
    return ParseStatus::kDone;
  }
  if (data[3] != kAtypDomain) {
    return ParseStatus::kInvalid;
  }
  const size_t n = data[4];
  if (7 + n > size) {
    return ParseStatus::kInvalid;
  }
  header->name.assign(reinterpret_cast<const char*>(data + 5), n);
  header->port = Load16(data + 5 + n);
  header->header_size = 7 + n;
  return ParseStatus::kDone;
}

void BuildUdpReplyHeader(uint32_t address, uint16_t port, uint8_t out[kUdpReplyHeaderSize]) {
  out[0] = 0;
  out[1] = 0;
  out[2] = 0;
  out[3] = kAtypIpv4;
  std::memcpy(out + 4, &address, 4);
  std::memcpy(out + 8, &port, 2);
}

void BuildSocks4Reply(uint8_t code, uint32_t address, uint16_t port,
                      uint8_t out[kSocks4ReplySize]) {
  out[0] = 0;
  out[1] = code;
  std::memcpy(out + 2, &port, 2);
  std::memcpy(out + 4, &address, 4);
}

void BuildSocks5Reply(uint8_t code, uint32_t address, uint16_t port,
                      uint8_t out[kSocks5ReplySize]) {
  out[0] = kVersion5;
  out[1] = code;
  out[2] = 0;
  out[3] = kAtypIpv4;
  std::memcpy(out + 4, &address, 4);
  std::memcpy(out + 8, &port, 2);
}

std::string WrongVersionDump(uint8_t first_byte, const uint8_t* rest, size_t size) {
  char item[8];
  std::snprintf(item, sizeof(item), "0x%x ", first_byte);
  std::string dump = item;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t byte = rest[i];
    if (byte >= 0x20 && byte <= 0x7F) {
      std::snprintf(item, sizeof(item), "'%c' ", byte);
    } else {
      std::snprintf(item, sizeof(item), "0x%x ", byte);
    }
    dump += item;
  }
  if (dump.size() > kWrongVersionDumpMax) {
    dump.resize(kWrongVersionDumpMax);
  }
  return dump;
}

}  // namespace qlm::socks
