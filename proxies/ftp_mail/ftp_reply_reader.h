// Reading one reply of an FTP server (RFC 959 section 4.2) from the bytes of
// the control connection, single- or multi-line, in pieces of any size. Pure:
// the server connection receives, this decides where the reply ends, what
// its class is and which line it keeps to show.
#pragma once

#include <cstddef>
#include <string>

#include "net/parse_status.h"
#include "proxies/ftp_mail/ftp_wire.h"

namespace qlm::ftp {

using net::ParseStatus;

class CFtpReplyReader {
 public:
  // Consumes bytes up to the LF of the reply's last line (*used says how
  // many; the rest belongs to the next reply). kDone: a whole reply.
  // kInvalid: a line of kReplyLineSize bytes or more, or a first line with
  // no text before its line end.
  ParseStatus Feed(const char* data, size_t size, size_t* used);
  // Bytes still needed: at least one until the reply is done, then 0.
  size_t Wanted() const;

  // The first digit of the first line (1 to 5 for a proper reply; 0 when
  // it is no digit). Valid once done.
  int ReplyClass() const { return reply_class_; }
  // The reply's last line with its line end (for a single-line reply its
  // only line). Valid once done.
  const std::string& LastLine() const { return last_line_; }
  // Starts over for the next reply.
  void Reset();

 private:
  // A whole line (LF included) is in line_; true when it ends the reply.
  bool LineComplete();

  enum class State { kFirst, kMore, kDone, kInvalid };
  State state_ = State::kFirst;
  std::string line_;
  std::string last_line_;
  int reply_class_ = 0;
  long code_ = 0;
};

// The leading decimal number of a line as C's atol reads it (blanks, an
// optional sign, digits; 0 when none), bounded so no text overflows it.
long LeadingNumber(const std::string& text);

}  // namespace qlm::ftp
