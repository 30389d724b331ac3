// The line buffer of an HTTP connection: the shared line taker with the
// limits of an HTTP head and its rule on control characters.
#pragma once

#include "net/line_buffer.h"
#include "proxies/http/http_wire.h"

namespace qlm::http {

// Control characters other than HT, LF, VT, FF and CR, and DEL, are unsafe in
// a head. Bytes 0x80-0xFF are safe: 8-bit header text keeps working.
bool IsUnsafeHeadByte(unsigned char byte);

inline constexpr net::LineLimits kHeadLineLimits{kReceiveBufferStart, kReceiveBufferStep,
                                                 kReceiveBufferLimit, &IsUnsafeHeadByte};

class CLineBuffer : public net::CLineBuffer {
 public:
  CLineBuffer() : net::CLineBuffer(kHeadLineLimits) {}
};

}  // namespace qlm::http
