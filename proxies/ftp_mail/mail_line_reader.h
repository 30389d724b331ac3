// Reading one CR LF line of the e-mail proxy (the client's USER line, the
// POP3 server's greeting) in pieces of any size, and splitting the USER line
// at the delimiter that names the POP3 server. Pure: no sockets.
//
//   "USER alice#pop.example.org" CR LF
//    `-- kept --'`--- server ---' `- dropped from the server name, re-added
//                                   to the kept part
//
// The line ends at an LF directly after a CR in the bytes received. The
// buffer keeps at most size-1 bytes: text fills size-3 places, then each
// further text byte takes the last of them, and the CR LF always follows; so
// a line sent too long is cut, never grows without bound, and still ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "net/parse_status.h"

namespace qlm::ftp::mail {

class CMailLineReader {
 public:
  // `size` counts the line's bytes plus a terminating NUL (at least 4).
  explicit CMailLineReader(size_t size);

  // Consumes bytes up to and including the line end: kDone then. Never
  // kInvalid: any bytes make some line.
  net::ParseStatus Feed(const uint8_t* data, size_t size, size_t* used);
  // One byte at a time, so nothing after the line end is taken from the
  // connection (the relay's first bytes).
  size_t Wanted() const { return done_ ? 0 : 1; }
  bool Done() const { return done_; }

  // The stored line, CR LF included once done; what has arrived so far
  // when the bytes stop early.
  std::string Line() const;

 private:
  void StoreText(char byte);

  size_t limit_;  // stored bytes at most
  std::string line_;
  bool pending_cr_ = false;  // a CR received, not yet known to end the line
  bool done_ = false;
};

// A USER line split at the delimiter.
struct UserLineSplit {
  std::string line;                 // what goes to the server
  std::optional<std::string> host;  // the server it names, if any
};

// No delimiter: the line unchanged, no host. Else the text before the first
// delimiter followed by CR LF, and the text after it without trailing white
// space (so the CR LF goes) as the host. No check that it is a USER command.
UserLineSplit SplitUserLine(const std::string& line, char delimiter);

// Whether a POP3 server's greeting is positive.
bool IsPositiveGreeting(const std::string& greeting);

}  // namespace qlm::ftp::mail
