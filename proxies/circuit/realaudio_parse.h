// The RealAudio dialog frame as a resumable parser, and the status frame the
// proxy answers with. Pure: bytes in, NeedMore | Done | Invalid out, however
// the network cut them. The frame layout is drawn in realaudio_wire.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/parse_status.h"
#include "proxies/circuit/realaudio_wire.h"

namespace qlm::circuit {

using net::ParseStatus;

// One dialog frame: the 2-byte length L, the opcode, then L - 1 value bytes.
// Invalid for L = 0 (no opcode) and, once the opcode is known, for a value
// longer than kFrameValueMax; opcode() then says which frame it was.
class CRealAudioFrameParser {
 public:
  // Consumes bytes up to the end of the frame; *used says how many.
  ParseStatus Feed(const uint8_t* data, size_t size, size_t* used);
  // Bytes to read next (an exact read); 0 once done or invalid.
  size_t Wanted() const;

  uint8_t opcode() const { return opcode_; }
  const std::string& value() const { return value_; }
  size_t value_size() const { return value_.size(); }

 private:
  enum class State { kLength, kOpcode, kValue, kDone, kInvalid };
  State state_ = State::kLength;
  uint8_t length_bytes_[kFrameLengthSize] = {};
  size_t filled_ = 0;
  size_t value_length_ = 0;
  uint8_t opcode_ = 0;
  std::string value_;
};

// Whether a player may send this opcode in the set-up (2 to 5, and 0).
bool IsSetupOpcode(uint8_t opcode);
// The value size a set-up opcode requires: 2 for the port and opcode 4, 1
// for TCP only; 0 for the host (any size from 1 on) and the end.
size_t RequiredValueSize(uint8_t opcode);

// The status frame: L = text length + 2 (at most 64, the text cut to fit),
// then 6, the code and the text without a terminating zero.
std::vector<uint8_t> BuildStatusFrame(uint8_t code, std::string_view text);

// A 2-byte network-order number.
uint16_t ReadNetwork16(const uint8_t* bytes);
void WriteNetwork16(uint16_t value, uint8_t* bytes);

}  // namespace qlm::circuit
