// In-process mail servers for the e-mail proxy's end-to-end tests, each on
// a loopback address of its own: a POP3 server with one mailbox of one
// message, and an SMTP server that keeps the message it is sent.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "tests/support/fake_servers.h"

namespace qlm::ftp::mail::test {

// The message as the mailbox holds it, and as it goes on the wire (its line
// starting with a dot doubled).
inline constexpr const char* kMessage =
    "Subject: through the proxy\r\n\r\nline one\r\n.hidden dot line\r\nlast line\r\n";
inline constexpr const char* kMessageOnWire =
    "Subject: through the proxy\r\n\r\nline one\r\n..hidden dot line\r\nlast line\r\n";

class CPop3ServerFake {
 public:
  // `greeting`: the first line it sends.
  CPop3ServerFake(const char* ip, std::string greeting = "+OK fake POP3 ready\r\n");
  uint16_t Port() const { return server_.Port(); }
  // The USER line it received ("" before one came).
  std::string UserLine();

 private:
  void Serve(int fd);

  std::string greeting_;
  std::mutex mutex_;
  std::string user_line_;  // Guarded by mutex_
  qlm::test::CTcpServer server_;
};

class CSmtpServerFake {
 public:
  explicit CSmtpServerFake(const char* ip);
  uint16_t Port() const { return server_.Port(); }
  // The DATA it received, the final "." line excluded and dots undoubled.
  std::string Data();
  bool Done() const { return done_.load(); }

 private:
  void Serve(int fd);

  std::mutex mutex_;
  std::string data_;  // Guarded by mutex_
  std::atomic<bool> done_{false};
  qlm::test::CTcpServer server_;
};

}  // namespace qlm::ftp::mail::test
