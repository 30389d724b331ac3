// The byte rule of an HTTP head.
#include "proxies/http/line_buffer.h"

namespace qlm::http {

bool IsUnsafeHeadByte(unsigned char byte) {
  if (byte == 0x7F) {
    return true;
  }
  if (byte >= 0x20) {
    return false;
  }
  // HT, LF, VT, FF and CR are white space.
  return byte < 0x09 || byte > 0x0D;
}

}  // namespace qlm::http
