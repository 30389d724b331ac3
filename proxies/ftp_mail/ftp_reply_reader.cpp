// Where a server's reply ends and which line it keeps.
#include "proxies/ftp_mail/ftp_reply_reader.h"

#include <cctype>

namespace qlm::ftp {
namespace {

// Longer numbers than this saturate; no reply code comes near it.
constexpr long kNumberCap = 1000000000L;

bool IsEmptyLine(const std::string& line) {
  return line == "\n" || line == "\r\n";
}

}  // namespace

long LeadingNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value >= kNumberCap ? kNumberCap : value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

ParseStatus CFtpReplyReader::Feed(const char* data, size_t size, size_t* used) {
  *used = 0;
  while (*used < size && (state_ == State::kFirst || state_ == State::kMore)) {
    const char byte = data[(*used)++];
    line_.push_back(byte);
    if (byte == '\n') {
      if (LineComplete()) {
        state_ = state_ == State::kInvalid ? State::kInvalid : State::kDone;
      }
    } else if (line_.size() >= kReplyLineSize - 1) {
      state_ = State::kInvalid;  // its LF could no longer fit the reply line
    }
  }
  switch (state_) {
    case State::kDone:
      return ParseStatus::kDone;
    case State::kInvalid:
      return ParseStatus::kInvalid;
    default:
      return ParseStatus::kNeedMore;
  }
}

bool CFtpReplyReader::LineComplete() {
  std::string line;
  line.swap(line_);
  if (state_ == State::kFirst) {
    if (IsEmptyLine(line)) {
      state_ = State::kInvalid;
      return true;
    }
    const unsigned char first = static_cast<unsigned char>(line[0]);
    reply_class_ = std::isdigit(first) ? first - '0' : 0;
    last_line_ = line;
    if (line.size() < 4 || line[3] != '-') {
      return true;
    }
    code_ = LeadingNumber(line);
    state_ = State::kMore;
    return false;
  }
  last_line_ = line;
  return line.size() > 3 && line[3] == ' ' && LeadingNumber(line) == code_;
}

size_t CFtpReplyReader::Wanted() const {
  return state_ == State::kFirst || state_ == State::kMore ? 1 : 0;
}

void CFtpReplyReader::Reset() {
  state_ = State::kFirst;
  line_.clear();
  last_line_.clear();
  reply_class_ = 0;
  code_ = 0;
}

}  // namespace qlm::ftp
