// The client's side of an FTP proxy, Telnet proxy or FTP port-mapping
// session: command lines read as the client types them, byte by byte, with
// Telnet option negotiation answered and (when the client asks) every byte
// echoed; numbered replies from the string table. Nothing in it knows which
// of those sessions uses it.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "net/blocking_socket.h"
#include "proxies/ftp_mail/ftp_command_line.h"
#include "proxies/ftp_mail/ftp_config.h"

namespace qlm::ftp {

class CFtpCmdSocket : public net::CBlockingSocket {
 public:
  explicit CFtpCmdSocket(const FtpCmdTimeouts& timeouts = {}) : timeouts_(timeouts) {}

  using net::CBlockingSocket::GetPeerName;
  // The peer's address into PeerAddress(). Throws "CBlockingSocket::GetPeerName".
  void GetPeerName() { net::CBlockingSocket::GetPeerName(&peer_address_); }

  // Reads one line as typed (see CCommandLineReader) into *line, `size`
  // counting a terminating NUL. Each byte waits at most the byte time-out,
  // the whole line at most the line time-out from its first byte. Returns
  // the bytes stored (CR LF included), or 0 when a receive fails (the
  // client closed, the engine stops, a wait ends). Throws "CFtpCmdSocket::
  // GetFtpCmd:Receive Socket closed" (other -11) when that happens inside a
  // Telnet command, and the socket layer's texts when an answer cannot be sent.
  int ReadCommandLine(std::string* line, size_t size = kCommandLineSize);
  // The string-table text of `id` formatted with the arguments, cut to fit
  // kReplyTextSize with its CR LF, sent within the send time-out. An
  // unknown id sends nothing. Throws the socket layer's send texts.
  void SendReply(int id, ...);
  // IAC, command, option.
  void SendTelnetCommand(uint8_t command, uint8_t option);
  // After an IAC: reads the rest of the Telnet command and answers it.
  void AnswerTelnetOption();

  const sockaddr_in& PeerAddress() const { return peer_address_; }
  bool Echo() const { return flags_.echo; }
  bool SuppressGoAhead() const { return flags_.suppress_go_ahead; }
  const FtpCmdTimeouts& CmdTimeouts() const { return timeouts_; }

  // Two addresses for the users of the class (e.g. a client's data address).
  sockaddr_in first_address_{AF_INET, 0, {0}, {0}};
  sockaddr_in second_address_{AF_INET, 0, {0}, {0}};

 private:
  // One byte within `timeout`; false when the receive failed.
  bool ReceiveByte(uint8_t* byte, net::Timeout timeout);
  void SendOutput(CCommandLineReader& reader);

  sockaddr_in peer_address_{AF_INET, 0, {0}, {0}};
  TelnetFlags flags_;
  FtpCmdTimeouts timeouts_;
};

}  // namespace qlm::ftp
