// The client side of one SOCKS session: the accepted connection plus what its
// request said, and the handshake steps that read the request and write the
// replies. Every read and write waits at most the handshake time-out and
// wakes at engine stop; a client that closes early ends the session with the
// step's own text.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "net/blocking_socket.h"
#include "proxies/socks/socks_config.h"
#include "proxies/socks/socks_wire.h"

namespace qlm::socks {

// The reply the session is about to send: the version byte picks the layout.
// Address and port in network order.
struct SocksReply {
  uint8_t version = 0;
  uint8_t code = 0;
  uint32_t address = 0;
  uint16_t port = 0;
};

class CClientSocket : public net::CBlockingSocket {
 public:
  CClientSocket() = default;
  explicit CClientSocket(const SocksTimeouts& timeouts) : timeouts_(timeouts) {}

  const SocksTimeouts& Timeouts() const { return timeouts_; }
  void SetTimeouts(const SocksTimeouts& timeouts) { timeouts_ = timeouts; }

  // Reads CD, DSTPORT and DSTIP (the version byte has been read) and stores
  // them. Throws "undefined socks command" for a CD other than CONNECT or
  // BIND, the socket layer's texts for a short or late read.
  void GetSocks4Dest();
  // Reads the user id up to its NUL byte, keeping 255 characters. Throws
  // "CClientSocket::GetSRCUser:Receive socket reset or closed" (other -11).
  void GetSRCUser();
  // Method negotiation after the version byte 5: answers 5 0 and returns true
  // when the list offers 0x00, else answers 5 FF and returns false. Throws
  // "CClientSocket::Socks5Auth:Receive socket reset or closed" (other -11)
  // for an early close or an empty list.
  bool Socks5Auth();
  // Reads and resolves the request; 0 when usable, else the REP to refuse it
  // with (7 command, 8 address type, 4 name not resolvable). Throws
  // "CClientSocket::GetSocks5Dest:Bad version" for a VER other than 5.
  uint8_t GetSocks5Dest();

  void SendSocksReply(const SocksReply& reply);
  // Code 90 (version 4) or 0 (version 5), then sends.
  void SendSocksSuccess(SocksReply& reply);
  // Code 91 (version 4) or 1 (version 5), then sends.
  void SendSocksFailure(SocksReply& reply);

  // The session's state, all zero at start.
  sockaddr_in datagram_target_{AF_INET, 0, {0}, {0}};
  uint8_t version_ = 0;
  uint8_t command_ = 0;
  uint32_t dest_address_ = 0;   // network order
  uint16_t dest_port_ = 0;      // network order
  std::string user_name_;       // SOCKS 4 USERID, at most 255 characters
  sockaddr_in dest_socket_address_{AF_INET, 0, {0}, {0}};
  sockaddr_in client_address_{AF_INET, 0, {0}, {0}};

 private:
  void StoreDestination(uint8_t version, uint8_t command, uint32_t address, uint16_t port);
  // Throws away whatever the client has sent so far (one read).
  void DiscardRest();

  SocksTimeouts timeouts_;
  uint8_t socks4_header_[kSocks4HeaderSize] = {};
};

}  // namespace qlm::socks
