// The e-mail proxy under test on loopback: each connection is accepted into
// a CEmailClient with short waits and served by EmailThreadProc on a thread
// of its own, as an Email listener on a port of the test's choosing; lines
// read from raw descriptors with bounded waits.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "engine/config/protocol_settings.h"
#include "proxies/ftp_mail/mail_wire.h"

namespace qlm::ftp::mail::test {

EmailTimeouts ShortTimeouts();

class CEmailHarness {
 public:
  // Log lines are built as though a log file were open.
  CEmailHarness();
  ~CEmailHarness();

  // A client connection served as arriving on listener port `port`.
  int Connect(const engine::EmailSettings& settings, uint16_t port,
              const EmailTimeouts& timeouts = ShortTimeouts());
  // Waits for every connection thread to end.
  void JoinAll();

 private:
  int listener_ = -1;
  uint16_t listen_port_ = 0;
  int null_fd_ = -1;
  std::vector<std::thread> threads_;
};

// Reads byte by byte until `end` has arrived (included), the peer closes or
// 5 s pass.
std::string ReadUntil(int fd, const std::string& end);
// Whether the peer closes within 5 s (bytes before that are skipped).
bool ClosesSoon(int fd);

}  // namespace qlm::ftp::mail::test
