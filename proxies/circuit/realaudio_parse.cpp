// The dialog frame parser and the status frame builder.
#include "proxies/circuit/realaudio_parse.h"

#include <algorithm>

namespace qlm::circuit {

uint16_t ReadNetwork16(const uint8_t* bytes) {
  return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

void WriteNetwork16(uint16_t value, uint8_t* bytes) {
  bytes[0] = static_cast<uint8_t>(value >> 8);
  bytes[1] = static_cast<uint8_t>(value & 0xFF);
}

ParseStatus CRealAudioFrameParser::Feed(const uint8_t* data, size_t size, size_t* used) {
  size_t offset = 0;
  while (offset < size && state_ != State::kDone && state_ != State::kInvalid) {
    switch (state_) {
      case State::kLength:
        length_bytes_[filled_++] = data[offset++];
        if (filled_ == kFrameLengthSize) {
          const uint16_t length = ReadNetwork16(length_bytes_);
          // L counts the opcode too: a frame without one can never be whole.
          state_ = length == 0 ? State::kInvalid : State::kOpcode;
          value_length_ = length == 0 ? 0 : length - 1u;
        }
        break;
      case State::kOpcode:
        opcode_ = data[offset++];
        if (value_length_ > kFrameValueMax) {
          state_ = State::kInvalid;
        } else {
          state_ = value_length_ == 0 ? State::kDone : State::kValue;
        }
        break;
      case State::kValue: {
        const size_t take = std::min(size - offset, value_length_ - value_.size());
        value_.append(reinterpret_cast<const char*>(data + offset), take);
        offset += take;
        if (value_.size() == value_length_) {
          state_ = State::kDone;
        }
        break;
      }
      case State::kDone:
      case State::kInvalid:
        break;
    }
  }
  *used = offset;
  switch (state_) {
    case State::kDone:
      return ParseStatus::kDone;
    case State::kInvalid:
      return ParseStatus::kInvalid;
    default:
      return ParseStatus::kNeedMore;
  }
}

size_t CRealAudioFrameParser::Wanted() const {
  switch (state_) {
    case State::kLength:
      return kFrameLengthSize - filled_;
    case State::kOpcode:
      return 1;
    case State::kValue:
      return value_length_ - value_.size();
    default:
      return 0;
  }
}

bool IsSetupOpcode(uint8_t opcode) {
  return opcode == kOpEnd || (opcode >= kOpHost && opcode <= kOpTcpOnly);
}

size_t RequiredValueSize(uint8_t opcode) {
  switch (opcode) {
    case kOpPort:
    case kOpKept:
      return 2;
    case kOpTcpOnly:
      return 1;
    default:
      return 0;
  }
}

std::vector<uint8_t> BuildStatusFrame(uint8_t code, std::string_view text) {
  const size_t text_size = std::min(text.size(), kStatusLengthMax - 2);
  std::vector<uint8_t> frame(kFrameLengthSize + 2 + text_size);
  WriteNetwork16(static_cast<uint16_t>(text_size + 2), frame.data());
  frame[2] = kOpStatus;
  frame[3] = code;
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(text_size), frame.begin() + 4);
  return frame;
}

}  // namespace qlm::circuit
