// Reading one command line as a client types it (FTP control connection or a
// Telnet session), in pieces of any size, with Telnet option negotiation
// (RFC 854) answered inline. Pure: the command socket receives the bytes,
// sends back what Output() collects (echoed bytes, negotiation answers) and
// keeps the echo and suppress-go-ahead flags across lines.
//
// Bytes of a line:
//   IAC WILL|WONT|DO|DONT opt       negotiation, answered (table below)
//   IAC SB ... IAC SE               subnegotiation, read and dropped
//   IAC other                       a two-byte command, dropped
//   BS (8), DEL (127)               remove the last stored byte
//   CR LF, CR NUL                   end the line (both bytes stored)
//   any other byte                  stored
// Answers: WILL x -> DONT x; DO ECHO / DO SUPPRESS-GO-AHEAD -> WILL, only
// when the flag changes; DO x -> WONT x; DONT ECHO / DONT SUPPRESS-GO-AHEAD
// -> WONT, only when the flag changes; anything else -> nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/parse_status.h"
#include "proxies/ftp_mail/ftp_wire.h"

namespace qlm::ftp {

using net::ParseStatus;

// The Telnet state of one client connection, kept across lines.
struct TelnetFlags {
  bool echo = false;               // typed bytes are sent back
  bool suppress_go_ahead = true;
};

class CCommandLineReader {
 public:
  // `size` counts the line's bytes plus a terminating NUL, as a caller's
  // buffer would (at least 4). `flags` outlives the reader.
  CCommandLineReader(size_t size, TelnetFlags* flags);

  // Consumes bytes up to the line end; kDone once the line is complete.
  // Never kInvalid: a client may type anything.
  ParseStatus Feed(const uint8_t* data, size_t size, size_t* used);
  // One byte at a time, so nothing after the line end is taken from the
  // connection (the next line, or a relay's first bytes).
  size_t Wanted() const;
  // True between an IAC and the end of its command.
  bool InTelnetCommand() const { return telnet_ != Telnet::kNone; }

  // The stored line, CR LF (or CR NUL) included once done. A line typed
  // longer than the buffer keeps its first size-3 bytes, later bytes
  // overwriting the last of them, and always its line end.
  const std::string& Line() const { return line_; }
  // Bytes to send back to the client, in order; taking them empties it.
  std::string TakeOutput();

 private:
  enum class Telnet { kNone, kCommand, kOption, kSub, kSubIac };
  void TextByte(uint8_t byte);
  void Store(uint8_t byte);
  void TelnetByte(uint8_t byte);
  void AnswerOption(uint8_t verb, uint8_t option);
  void Send(uint8_t verb, uint8_t option);

  size_t content_limit_;
  TelnetFlags* flags_;
  std::string line_;
  std::string output_;
  bool pending_cr_ = false;
  bool done_ = false;
  Telnet telnet_ = Telnet::kNone;
  uint8_t verb_ = 0;
};

}  // namespace qlm::ftp
