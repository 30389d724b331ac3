// The player's side of one RealAudio connection: the accepted socket, what
// the dialog said (host, port, TCP only), and the dialog steps themselves:
// the version frame, the set-up frames and the status frames. Every read and
// write waits at most the handshake time-out and wakes at engine stop.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "net/blocking_socket.h"
#include "proxies/circuit/realaudio_config.h"
#include "proxies/circuit/realaudio_parse.h"

namespace qlm::circuit {

class RealAudioSocket : public net::CBlockingSocket {
 public:
  RealAudioSocket() = default;
  explicit RealAudioSocket(const RealAudioTimeouts& timeouts) : timeouts_(timeouts) {}

  const RealAudioTimeouts& Timeouts() const { return timeouts_; }

  // Reads one whole dialog frame into *parser. kDone or kInvalid (a frame
  // the parser refuses); throws the socket layer's texts for a short read.
  ParseStatus ReadFrame(CRealAudioFrameParser* parser);
  // The proxy's version frame 00 02 01 01.
  void SendVersion();
  void SendStatus(uint8_t code, const char* text);
  // Reads the player's version frame; anything but version 1 gets status 3
  // and throws "RealAudioThreadProc:Bad RealAudio Version".
  void CheckVersion();
  // Reads set-up frames until opcode 0, keeping host, port, opcode 4 and TCP
  // only. Wrong sizes get status 2, other opcodes status 4; both throw. The
  // dialog's deadline ends with it.
  void ProxySetup();

  sockaddr_in client_address_{AF_INET, 0, {0}, {0}};
  uint16_t opcode4_value_ = 0;
  uint8_t tcp_only_ = 0;
  std::string host_;
  // Port from opcode 3 (network order); address from resolving host_.
  sockaddr_in server_address_{AF_INET, 0, {0}, {0}};

 private:
  // Status `code` with `text`, then throws `thrown`.
  [[noreturn]] void Fail(uint8_t code, const char* text, const char* thrown);
  void Keep(const CRealAudioFrameParser& frame);

  RealAudioTimeouts timeouts_;
  bool dialog_begun_ = false;
};

}  // namespace qlm::circuit
