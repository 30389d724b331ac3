// Resumable parsers of the SOCKS handshake and the UDP request header. They
// take bytes as they arrive, in pieces of any size, and say whether they need
// more, are done, or have seen a request the server refuses. No sockets and
// no logging: the session reads what Wanted() asks for and feeds it here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/parse_status.h"
#include "proxies/socks/socks_wire.h"

namespace qlm::socks {

using net::ParseStatus;

// The protocol a first byte selects; 0 for neither 4 nor 5.
uint8_t DetectVersion(uint8_t first_byte);

// SOCKS 4 request from VN on: the 8-byte header, then USERID up to its NUL.
// Invalid when VN is not 4 or CD is neither CONNECT nor BIND (decided as soon
// as the header is complete, before any user id byte). The first 255
// characters of the user id are kept, the rest is read and dropped.
class CSocks4RequestParser {
 public:
  // Consumes bytes up to the end of the request; *used says how many.
  ParseStatus Feed(const uint8_t* data, size_t size, size_t* used);
  // Bytes to read next (an exact read); 0 once done or invalid.
  size_t Wanted() const;
  // True while the header is complete and the user id is being read.
  bool InUserId() const { return state_ == State::kUser; }

  uint8_t command() const { return header_[1]; }
  uint16_t port() const;      // network order
  uint32_t address() const;   // network order
  const std::string& user() const { return user_; }

 private:
  enum class State { kHeader, kUser, kDone, kInvalid };
  State state_ = State::kHeader;
  uint8_t header_[kSocks4HeaderSize] = {};
  size_t filled_ = 0;
  std::string user_;
};

// SOCKS 5 method selection from VER on (RFC 1928 section 3). Invalid when VER
// is not 5 or NMETHODS is 0.
class CSocks5MethodParser {
 public:
  ParseStatus Feed(const uint8_t* data, size_t size, size_t* used);
  size_t Wanted() const;
  // Whether the method list holds 0x00 (no authentication required).
  bool NoAuthOffered() const { return no_auth_; }
  size_t MethodCount() const { return count_; }

 private:
  enum class State { kVersion, kCount, kMethods, kDone, kInvalid };
  State state_ = State::kVersion;
  size_t count_ = 0;
  size_t seen_ = 0;
  bool no_auth_ = false;
};

// SOCKS 5 request from VER on (RFC 1928 sections 4 and 5). Invalid only for a
// VER other than 5. Done with Reply() 0 for a usable request (ATYP 1, or ATYP
// 3 whose name the caller still resolves), 7 for an unknown CMD and 8 for
// ATYP 4 or an unknown ATYP; DiscardRest() says the caller throws away what
// else the client sent (unknown CMD or ATYP), since its length is unknown.
class CSocks5RequestParser {
 public:
  ParseStatus Feed(const uint8_t* data, size_t size, size_t* used);
  size_t Wanted() const;
  // True while the next byte is the domain-name length.
  bool AtNameLength() const { return state_ == State::kNameLength; }

  uint8_t command() const { return head_[1]; }
  uint8_t address_type() const { return head_[3]; }
  uint8_t Reply() const { return reply_; }
  bool DiscardRest() const { return discard_rest_; }
  uint32_t address() const;   // network order (ATYP 1)
  uint16_t port() const;      // network order
  const std::string& name() const { return name_; }  // ATYP 3

 private:
  enum class State { kHead, kIpv4, kNameLength, kName, kIpv6, kDone, kInvalid };
  void HeadComplete();
  void BodyComplete();
  State state_ = State::kHead;
  uint8_t head_[kSocks5RequestHeadSize] = {};
  // Address and port bytes as sent: 4 + 2, n + 2 or 16 + 2.
  uint8_t body_[kAddressBufferSize] = {};
  size_t filled_ = 0;
  size_t body_size_ = 0;
  uint8_t reply_ = kRepSucceeded;
  bool discard_rest_ = false;
  std::string name_;
};

// The header in front of a client's datagram (RFC 1928 section 7).
struct UdpHeader {
  uint8_t address_type = 0;
  uint32_t address = 0;   // network order (ATYP 1)
  std::string name;       // ATYP 3, still to be resolved
  uint16_t port = 0;      // network order
  size_t header_size = 0; // where the payload starts
};
// A datagram is whole, so the answer is kDone or kInvalid: shorter than 10
// bytes, RSV or FRAG not zero, shorter than its own header, or an ATYP other
// than 1 or 3 (IPv6 included).
ParseStatus ParseUdpHeader(const uint8_t* data, size_t size, UdpHeader* header);

// The 10-byte header of a datagram relayed to the client: 0 0 0 1, the
// sender's address and port (both network order).
void BuildUdpReplyHeader(uint32_t address, uint16_t port, uint8_t out[kUdpReplyHeaderSize]);

// SOCKS 4 reply: 0, CD, port, address. SOCKS 5 reply: 5, REP, 0, 1, address,
// port. Address and port in network order.
void BuildSocks4Reply(uint8_t code, uint32_t address, uint16_t port,
                      uint8_t out[kSocks4ReplySize]);
void BuildSocks5Reply(uint8_t code, uint32_t address, uint16_t port,
                      uint8_t out[kSocks5ReplySize]);

// The sample of a request that is neither SOCKS 4 nor 5: the first byte as
// "0x%x ", then every further byte as "'%c' " when printable (0x20 to 0x7F)
// or "0x%x ", at most 505 characters.
std::string WrongVersionDump(uint8_t first_byte, const uint8_t* rest, size_t size);

}  // namespace qlm::socks
