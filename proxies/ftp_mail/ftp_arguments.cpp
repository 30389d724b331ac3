// Reading PORT and PASV numbers, USER user@host, and command names.
#include "proxies/ftp_mail/ftp_arguments.h"

#include <arpa/inet.h>
#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "proxies/ftp_mail/ftp_wire.h"

namespace qlm::ftp {
namespace {

constexpr int kByteMax = 255;
constexpr size_t kUserStart = 5;  // after "USER "

// One "%d" at text[*pos]: blanks, an optional sign, digits. Values beyond a
// byte saturate, so no input overflows.
std::optional<long> ScanNumber(const std::string& text, size_t* pos) {
  size_t i = *pos;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const size_t digits = i;
  long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value > kByteMax ? kByteMax + 1 : value * 10 + (text[i] - '0');
  }
  if (i == digits) {
    return std::nullopt;
  }
  *pos = i;
  return negative ? -value : value;
}

}  // namespace

std::optional<HostPort> ParseHostPort(const std::string& text) {
  long values[6] = {};
  size_t pos = 0;
  for (int n = 0; n < 6; ++n) {
    if (n > 0) {
      if (pos >= text.size() || text[pos] != ',') {
        return std::nullopt;
      }
      ++pos;
    }
    const std::optional<long> value = ScanNumber(text, &pos);
    // A negative number is refused too: it names no address byte.
    if (!value || *value < 0 || *value > kByteMax) {
      return std::nullopt;
    }
    values[n] = *value;
  }
  HostPort result;
  const uint32_t host = (static_cast<uint32_t>(values[0]) << 24) |
                        (static_cast<uint32_t>(values[1]) << 16) |
                        (static_cast<uint32_t>(values[2]) << 8) | static_cast<uint32_t>(values[3]);
  result.address.s_addr = htonl(host);
  result.port = static_cast<uint16_t>(values[4] * 256 + values[5]);
  return result;
}

std::optional<std::string> ParenthesisedPart(const std::string& line) {
  const size_t open = line.find('(');
  if (open == std::string::npos) {
    return std::nullopt;
  }
  const size_t close = line.find(')', open + 1);
  if (close == std::string::npos) {
    return std::nullopt;
  }
  return line.substr(open + 1, close - open - 1);
}

std::optional<UserAtHost> SplitUserAtHost(const std::string& line) {
  if (line.size() <= kUserStart) {
    return std::nullopt;
  }
  const size_t at = line.find('@', kUserStart);
  if (at == std::string::npos) {
    return std::nullopt;
  }
  size_t start = kUserStart;
  while (start < at && line[start] == ' ') {
    ++start;
  }
  UserAtHost result{line.substr(start, at - start), line.substr(at + 1)};
  if (result.user.empty() || result.host.empty()) {
    return std::nullopt;
  }
  return result;
}

bool CommandStartsWith(const std::string& line, const char* command) {
  return line.size() >= 4 && strncasecmp(line.c_str(), command, 4) == 0;
}

bool CommandIs(const std::string& line, const char* command) {
  return line.size() == std::strlen(command) && strcasecmp(line.c_str(), command) == 0;
}

std::string FormatPortCommand(in_addr address, uint16_t port) {
  const uint32_t host = ntohl(address.s_addr);
  char text[64];
  std::snprintf(text, sizeof(text), kFormatPort, static_cast<int>((host >> 24) & 0xFF),
                static_cast<int>((host >> 16) & 0xFF), static_cast<int>((host >> 8) & 0xFF),
                static_cast<int>(host & 0xFF), port >> 8, port & 0xFF);
  return text;
}

}  // namespace qlm::ftp
