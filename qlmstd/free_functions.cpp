// The two free functions of the library: the last error as text, and the
// first-of-a-set character search.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "qlmstd/qlmstd.h"

namespace qlm::qlmstd {

char* GetLastErrorText(char* buffer, uint32_t size) {
  int error = errno;
  if (!buffer || size == 0) {
    return buffer;
  }
  char text_buffer[512];
  // The GNU strerror_r returns its text (possibly not in text_buffer).
  const char* text = strerror_r(error, text_buffer, sizeof text_buffer);
  if (!text || !*text) {
    buffer[0] = '\0';
    return buffer;
  }
  std::string message(text);
  // Room for " (0x........)" and the terminator: cut the text to fit.
  if (message.size() + 14 > size) {
    message.resize(size > 14 ? size - 14 : 0);
  }
  std::snprintf(buffer, size, "%s (0x%x)", message.c_str(), static_cast<unsigned>(error));
  errno = error;
  return buffer;
}

int strfind(const char* text, const char* set, int* position, int /*flag*/) {
  if (!text) {
    if (position) {
      *position = 0;
    }
    return 0;
  }
  size_t index = set ? std::strcspn(text, set) : std::strlen(text);
  if (position) {
    *position = static_cast<int>(index);
  }
  return text[index] != '\0' ? 1 : 0;
}

}  // namespace qlm::qlmstd
