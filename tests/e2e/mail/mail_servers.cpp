// The fake POP3 and SMTP servers.
#include "tests/e2e/mail/mail_servers.h"

#include <poll.h>
#include <strings.h>
#include <sys/socket.h>

#include <cstring>
#include <string>

#include "tests/support/loopback.h"

namespace qlm::ftp::mail::test {
namespace {

using qlm::test::WriteAll;

// Buffered lines from a descriptor, each wait bounded; "" at close or time-out.
class CLineReader {
 public:
  explicit CLineReader(int fd) : fd_(fd) {}

  std::string Line() {
    for (int reads = 0; reads < 100000; ++reads) {
      const size_t end = buffer_.find("\r\n");
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end + 2);
        buffer_.erase(0, end + 2);
        return line;
      }
      pollfd entry{fd_, POLLIN, 0};
      char chunk[16384];
      if (::poll(&entry, 1, 10000) != 1) {
        return "";
      }
      const ssize_t count = ::recv(fd_, chunk, sizeof chunk, 0);
      if (count <= 0) {
        return "";
      }
      buffer_.append(chunk, static_cast<size_t>(count));
    }
    return "";
  }

 private:
  int fd_;
  std::string buffer_;
};

bool StartsWith(const std::string& line, const char* word) {
  const size_t size = std::strlen(word);
  return line.size() >= size && strncasecmp(line.c_str(), word, size) == 0;
}

}  // namespace

CPop3ServerFake::CPop3ServerFake(const char* ip, std::string greeting)
    : greeting_(std::move(greeting)), server_([this](int fd) { Serve(fd); }, ip) {}

std::string CPop3ServerFake::UserLine() {
  std::lock_guard lock(mutex_);
  return user_line_;
}

void CPop3ServerFake::Serve(int fd) {
  WriteAll(fd, greeting_);
  CLineReader reader(fd);
  const std::string size = std::to_string(std::strlen(kMessage));
  for (int commands = 0; commands < 100; ++commands) {
    const std::string line = reader.Line();
    if (line.empty()) {
      return;
    }
    if (StartsWith(line, "USER")) {
      std::lock_guard lock(mutex_);
      user_line_ = line;
    }
    if (StartsWith(line, "USER") || StartsWith(line, "PASS")) {
      WriteAll(fd, "+OK\r\n");
    } else if (StartsWith(line, "STAT")) {
      WriteAll(fd, "+OK 1 " + size + "\r\n");
    } else if (StartsWith(line, "LIST")) {
      WriteAll(fd, "+OK 1 messages\r\n1 " + size + "\r\n.\r\n");
    } else if (StartsWith(line, "RETR")) {
      WriteAll(fd, "+OK " + size + " octets\r\n" + kMessageOnWire + ".\r\n");
    } else if (StartsWith(line, "QUIT")) {
      WriteAll(fd, "+OK bye\r\n");
      return;
    } else {
      WriteAll(fd, "-ERR unknown\r\n");
    }
  }
}

CSmtpServerFake::CSmtpServerFake(const char* ip) : server_([this](int fd) { Serve(fd); }, ip) {}

std::string CSmtpServerFake::Data() {
  std::lock_guard lock(mutex_);
  return data_;
}

void CSmtpServerFake::Serve(int fd) {
  WriteAll(fd, "220 smtp.server.test ESMTP fake\r\n");
  CLineReader reader(fd);
  for (int commands = 0; commands < 100; ++commands) {
    const std::string line = reader.Line();
    if (line.empty()) {
      return;
    }
    if (StartsWith(line, "EHLO")) {
      WriteAll(fd, "250-smtp.server.test\r\n250 8BITMIME\r\n");
    } else if (StartsWith(line, "DATA")) {
      WriteAll(fd, "354 go ahead\r\n");
      std::string data;
      for (std::string part = reader.Line(); !part.empty() && part != ".\r\n";
           part = reader.Line()) {
        data += part[0] == '.' ? part.substr(1) : part;
      }
      {
        std::lock_guard lock(mutex_);
        data_ = data;
      }
      done_ = true;
      WriteAll(fd, "250 queued\r\n");
    } else if (StartsWith(line, "QUIT")) {
      WriteAll(fd, "221 bye\r\n");
      return;
    } else {
      WriteAll(fd, "250 ok\r\n");
    }
  }
}

}  // namespace qlm::ftp::mail::test
