// The client object of the "Email" daemon: a plain socket carrying the waits
// of its connection, which the protocol entry hands it at the accept (tests
// make it with short ones).
#pragma once

#include "net/blocking_socket.h"
#include "proxies/ftp_mail/mail_wire.h"

namespace qlm::ftp::mail {

class CEmailClient : public net::CBlockingSocket {
 public:
  explicit CEmailClient(const EmailTimeouts& timeouts = {}) : timeouts_(timeouts) {}

  const EmailTimeouts& Timeouts() const { return timeouts_; }

 private:
  EmailTimeouts timeouts_;
};

}  // namespace qlm::ftp::mail
