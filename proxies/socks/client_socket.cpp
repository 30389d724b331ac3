// The handshake steps of a SOCKS session over the client connection. The
// bytes go through the resumable parsers; the reads are the ones the
// protocol allows to be exact, so a slow client never confuses the server.
#include "proxies/socks/client_socket.h"

#include <cstring>

#include "proxies/socks/socks_parse.h"

namespace qlm::socks {

using net::CBlockingSocketException;

namespace {

const uint8_t* Bytes(const char* p) { return reinterpret_cast<const uint8_t*>(p); }

}  // namespace

void CClientSocket::StoreDestination(uint8_t version, uint8_t command, uint32_t address,
                                     uint16_t port) {
  version_ = version;
  command_ = command;
  dest_address_ = address;
  dest_port_ = port;
  dest_socket_address_ = sockaddr_in{};
  dest_socket_address_.sin_family = AF_INET;
  dest_socket_address_.sin_port = port;
  dest_socket_address_.sin_addr.s_addr = address;
}

void CClientSocket::GetSocks4Dest() {
  char rest[kSocks4HeaderSize - 1];
  ReceiveExact(rest, sizeof(rest), timeouts_.handshake);
  socks4_header_[0] = kVersion4;
  std::memcpy(socks4_header_ + 1, rest, sizeof(rest));
  CSocks4RequestParser parser;
  size_t used = 0;
  parser.Feed(socks4_header_, sizeof(socks4_header_), &used);
  StoreDestination(kVersion4, parser.command(), parser.address(), parser.port());
  if (!parser.InUserId()) {
    throw CBlockingSocketException(kTextUndefinedCommand);
  }
}

void CClientSocket::GetSRCUser() {
  CSocks4RequestParser parser;
  size_t used = 0;
  parser.Feed(socks4_header_, sizeof(socks4_header_), &used);
  ParseStatus status = ParseStatus::kNeedMore;
  while (status == ParseStatus::kNeedMore) {
    char byte = 0;
    if (Receive(&byte, 1, timeouts_.handshake) != 1) {
      throw CBlockingSocketException(kTextUserClosed, 0, net::kOtherExactFailed);
    }
    status = parser.Feed(Bytes(&byte), 1, &used);
  }
  user_name_ = parser.user();
}

bool CClientSocket::Socks5Auth() {
  CSocks5MethodParser parser;
  const uint8_t version = kVersion5;
  size_t used = 0;
  parser.Feed(&version, 1, &used);
  char count = 0;
  if (Receive(&count, 1, timeouts_.handshake) != 1 ||
      parser.Feed(Bytes(&count), 1, &used) == ParseStatus::kInvalid) {
    throw CBlockingSocketException(kTextAuthClosed, 0, net::kOtherExactFailed);
  }
  char methods[255];
  const int wanted = static_cast<int>(parser.Wanted());
  try {
    ReceiveExact(methods, wanted, timeouts_.handshake);
  } catch (const CBlockingSocketException& e) {
    if (e.OtherErrorCode() != net::kOtherExactFailed) {
      throw;
    }
    throw CBlockingSocketException(kTextAuthClosed, e.ErrorCode(), net::kOtherExactFailed);
  }
  parser.Feed(Bytes(methods), static_cast<size_t>(wanted), &used);
  const char answer[2] = {static_cast<char>(kVersion5),
                          static_cast<char>(parser.NoAuthOffered() ? kMethodNoAuth
                                                                   : kMethodNoneAcceptable)};
  SendAll(answer, sizeof(answer), timeouts_.handshake);
  return parser.NoAuthOffered();
}

void CClientSocket::DiscardRest() {
  char rest[kAddressBufferSize];
  Receive(rest, sizeof(rest), timeouts_.handshake);
}

uint8_t CClientSocket::GetSocks5Dest() {
  CSocks5RequestParser parser;
  char buffer[kAddressBufferSize];
  size_t used = 0;
  ParseStatus status = ParseStatus::kNeedMore;
  while (status == ParseStatus::kNeedMore) {
    const int wanted = static_cast<int>(parser.Wanted());
    if (parser.AtNameLength()) {
      if (Receive(buffer, 1, timeouts_.handshake) != 1) {
        throw CBlockingSocketException(kTextDestClosed);
      }
    } else {
      ReceiveExact(buffer, wanted, timeouts_.handshake);
    }
    status = parser.Feed(Bytes(buffer), static_cast<size_t>(wanted), &used);
  }
  if (status == ParseStatus::kInvalid) {
    throw CBlockingSocketException(kTextBadVersion);
  }
  if (parser.DiscardRest()) {
    DiscardRest();
  }
  if (parser.Reply() != kRepSucceeded) {
    return parser.Reply();
  }
  uint32_t address = parser.address();
  if (parser.address_type() == kAtypDomain) {
    sockaddr_in resolved{};
    resolved.sin_family = AF_INET;
    if (!ResolveAddress(parser.name().c_str(), &resolved)) {
      return kRepHostUnreachable;
    }
    address = resolved.sin_addr.s_addr;
  }
  StoreDestination(kVersion5, parser.command(), address, parser.port());
  return kRepSucceeded;
}

void CClientSocket::SendSocksReply(const SocksReply& reply) {
  if (reply.version == kVersion4) {
    uint8_t bytes[kSocks4ReplySize];
    BuildSocks4Reply(reply.code, reply.address, reply.port, bytes);
    SendAll(reinterpret_cast<const char*>(bytes), sizeof(bytes), timeouts_.handshake);
  } else {
    uint8_t bytes[kSocks5ReplySize];
    BuildSocks5Reply(reply.code, reply.address, reply.port, bytes);
    SendAll(reinterpret_cast<const char*>(bytes), sizeof(bytes), timeouts_.handshake);
  }
}

void CClientSocket::SendSocksSuccess(SocksReply& reply) {
  reply.code = reply.version == kVersion4 ? kSocks4Granted : kRepSucceeded;
  SendSocksReply(reply);
}

void CClientSocket::SendSocksFailure(SocksReply& reply) {
  reply.code = reply.version == kVersion4 ? kSocks4Rejected : kRepGeneralFailure;
  SendSocksReply(reply);
}

}  // namespace qlm::socks
