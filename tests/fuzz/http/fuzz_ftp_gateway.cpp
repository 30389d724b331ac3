// Fuzzes the FTP gateway's path decoding and listing lines: no decoded path
// may gain a line end, no listing line may carry markup of the server's
// into the page, and no escaped name may keep a reserved character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "proxies/http/ftp_gateway_text.h"

namespace {

size_t Count(const std::string& text, char c) {
  size_t n = 0;
  for (const char x : text) {
    n += x == c ? 1 : 0;
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string path = qlm::http::DecodeFtpPath(input);
  for (const char c : {'\r', '\n', '\0'}) {
    if (Count(path, c) > Count(input, c)) {
      std::abort();
    }
  }
  std::string directory;
  std::string file;
  if (qlm::http::SplitPath(path, &directory, &file) && directory + file != path) {
    std::abort();
  }
  const std::string escaped = qlm::http::EscapeURL(input);
  if (std::strpbrk(escaped.c_str(), ";/?:@&=+$,") != nullptr &&
      escaped.find('\0') == std::string::npos) {
    std::abort();
  }
  const std::string passed = qlm::http::PassListingLine(input);
  if (Count(passed, '<') + Count(passed, '>') + Count(passed, '"') != 0) {
    std::abort();
  }
  const std::string html = qlm::http::FormatListingLine(input);
  if (!html.empty() && (Count(html, '<') != 2 || Count(html, '>') != 2 || Count(html, '"') != 2)) {
    std::abort();
  }
  qlm::http::IsTextBlock(input.data(), input.size());
  return 0;
}
