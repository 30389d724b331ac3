// The e-mail proxy's line reader and USER line split.
#include "proxies/ftp_mail/mail_line_reader.h"

#include <algorithm>
#include <cctype>

#include "proxies/ftp_mail/mail_wire.h"

namespace qlm::ftp::mail {

CMailLineReader::CMailLineReader(size_t size) : limit_(std::max<size_t>(size, 4) - 1) {}

net::ParseStatus CMailLineReader::Feed(const uint8_t* data, size_t size, size_t* used) {
  *used = 0;
  while (!done_ && *used < size) {
    const char byte = static_cast<char>(data[(*used)++]);
    if (pending_cr_ && byte == '\n') {
      line_ += "\r\n";
      pending_cr_ = false;
      done_ = true;
      break;
    }
    if (pending_cr_) {
      StoreText('\r');  // a CR not followed by LF is text
    }
    pending_cr_ = byte == '\r';
    if (!pending_cr_) {
      StoreText(byte);
    }
  }
  return done_ ? net::ParseStatus::kDone : net::ParseStatus::kNeedMore;
}

void CMailLineReader::StoreText(char byte) {
  // Two places stay free for the line end.
  if (line_.size() + 2 < limit_) {
    line_.push_back(byte);
  } else {
    line_.back() = byte;
  }
}

std::string CMailLineReader::Line() const { return pending_cr_ ? line_ + '\r' : line_; }

UserLineSplit SplitUserLine(const std::string& line, char delimiter) {
  const size_t at = line.find(delimiter);
  if (at == std::string::npos) {
    return {line, std::nullopt};
  }
  std::string host = line.substr(at + 1);
  while (!host.empty() && std::isspace(static_cast<unsigned char>(host.back()))) {
    host.pop_back();
  }
  return {line.substr(0, at) + "\r\n", host};
}

bool IsPositiveGreeting(const std::string& greeting) {
  return greeting.rfind(kServerGreetingOk, 0) == 0;
}

}  // namespace qlm::ftp::mail
