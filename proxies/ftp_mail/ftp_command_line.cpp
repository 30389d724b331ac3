// A typed command line: editing, line ends and Telnet answers.
#include "proxies/ftp_mail/ftp_command_line.h"

#include <algorithm>

namespace qlm::ftp {

CCommandLineReader::CCommandLineReader(size_t size, TelnetFlags* flags)
    : content_limit_(std::max<size_t>(size, 4) - 3), flags_(flags) {}

ParseStatus CCommandLineReader::Feed(const uint8_t* data, size_t size, size_t* used) {
  *used = 0;
  while (*used < size && !done_) {
    const uint8_t byte = data[(*used)++];
    if (telnet_ != Telnet::kNone) {
      TelnetByte(byte);
    } else if (byte == kIac) {
      telnet_ = Telnet::kCommand;
    } else {
      TextByte(byte);
    }
  }
  return done_ ? ParseStatus::kDone : ParseStatus::kNeedMore;
}

size_t CCommandLineReader::Wanted() const { return done_ ? 0 : 1; }

std::string CCommandLineReader::TakeOutput() {
  std::string out;
  out.swap(output_);
  return out;
}

void CCommandLineReader::TextByte(uint8_t byte) {
  if (flags_->echo) {
    output_.push_back(static_cast<char>(byte));
  }
  if (pending_cr_) {
    pending_cr_ = false;
    if (byte == kLf || byte == kNul) {
      line_.push_back(static_cast<char>(kCr));
      line_.push_back(static_cast<char>(byte));
      done_ = true;
      return;
    }
    Store(kCr);  // a CR inside the line is text
  }
  if (byte == kBackspace || byte == kDelete) {
    if (!line_.empty()) {
      line_.pop_back();
    }
  } else if (byte == kCr) {
    pending_cr_ = true;
  } else {
    Store(byte);
  }
}

void CCommandLineReader::Store(uint8_t byte) {
  if (line_.size() < content_limit_) {
    line_.push_back(static_cast<char>(byte));
  } else {
    line_.back() = static_cast<char>(byte);
  }
}

void CCommandLineReader::TelnetByte(uint8_t byte) {
  switch (telnet_) {
    case Telnet::kCommand:
      if (byte == kWill || byte == kWont || byte == kDo || byte == kDont) {
        verb_ = byte;
        telnet_ = Telnet::kOption;
      } else if (byte == kSb) {
        telnet_ = Telnet::kSub;
      } else {
        telnet_ = Telnet::kNone;
      }
      return;
    case Telnet::kOption:
      telnet_ = Telnet::kNone;
      AnswerOption(verb_, byte);
      return;
    case Telnet::kSub:
      telnet_ = byte == kIac ? Telnet::kSubIac : Telnet::kSub;
      return;
    case Telnet::kSubIac:
      telnet_ = byte == kSe ? Telnet::kNone : Telnet::kSub;
      return;
    case Telnet::kNone:
      return;
  }
}

void CCommandLineReader::AnswerOption(uint8_t verb, uint8_t option) {
  const bool echo = option == kOptionEcho;
  const bool sga = option == kOptionSuppressGoAhead;
  if (verb == kWill) {
    Send(kDont, option);
  } else if (verb == kDo && echo) {
    if (!flags_->echo) {
      flags_->echo = true;
      Send(kWill, option);
    }
  } else if (verb == kDo && sga) {
    if (!flags_->suppress_go_ahead) {
      flags_->suppress_go_ahead = true;
      Send(kWill, option);
    }
  } else if (verb == kDo) {
    Send(kWont, option);
  } else if (verb == kDont && echo) {
    if (flags_->echo) {
      flags_->echo = false;
      Send(kWont, option);
    }
  } else if (verb == kDont && sga) {
    if (flags_->suppress_go_ahead) {
      flags_->suppress_go_ahead = false;
      Send(kWont, option);
    }
  }
}

void CCommandLineReader::Send(uint8_t verb, uint8_t option) {
  output_.push_back(static_cast<char>(kIac));
  output_.push_back(static_cast<char>(verb));
  output_.push_back(static_cast<char>(option));
}

}  // namespace qlm::ftp
