// The opening messages of the stream, with the proxy's datagram ports put in
// place of the peers'.
#include "proxies/circuit/realaudio_udp.h"

#include <cstring>

namespace qlm::circuit {

using net::CBlockingSocket;
using net::CBlockingSocketException;

namespace {

char* Chars(uint8_t* bytes) { return reinterpret_cast<char*>(bytes); }

// Reads a 2-byte network-order number (kept as sent in `bytes`).
uint16_t Read16(CBlockingSocket& from, net::Timeout timeout, uint8_t bytes[2]) {
  from.ReceiveExact(Chars(bytes), 2, timeout);
  return ReadNetwork16(bytes);
}

sockaddr_in WithPort(const sockaddr_in& address, const uint8_t port[2]) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_addr = address.sin_addr;
  std::memcpy(&result.sin_port, port, 2);  // network order as sent
  return result;
}

// A data or resend port of the player: the player's port is remembered, the
// proxy's socket opened and its port forwarded instead.
void RewritePlayerPort(uint16_t tag, RealAudioSocket& player, CBlockingSocket& server,
                       const RealAudioSides& sides, RealAudioChannels* channels) {
  const net::Timeout timeout = player.Timeouts().handshake;
  uint8_t port[2];
  player.ReceiveExact(Chars(port), 2, timeout);
  uint16_t own = 0;
  if (tag == kTagDataPort) {
    own = OpenDatagram(channels->from_server, sides.server_side);
    channels->player_data = WithPort(sides.player, port);
    OpenDatagram(channels->to_player, sides.player_side);
  } else {
    own = OpenDatagram(channels->to_server, sides.server_side);
    channels->player_resend = WithPort(sides.player, port);
    channels->resend_wanted = true;
  }
  server.SendAll(reinterpret_cast<const char*>(&own), 2, timeout);
}

}  // namespace

uint16_t OpenDatagram(CBlockingSocket& socket, const sockaddr_in& address) {
  sockaddr_in any_port = address;
  any_port.sin_port = 0;
  socket.Create(net::kDatagram);
  socket.Bind(any_port);
  sockaddr_in bound{};
  socket.GetSockName(&bound);
  return bound.sin_port;
}

bool ProxyUdpSetup(RealAudioSocket& player, CBlockingSocket& server, const RealAudioSides& sides,
                   RealAudioChannels* channels) {
  const net::Timeout timeout = player.Timeouts().handshake;
  char hello[kPnaHelloSize + kPnaVersionSize];
  player.ReceiveExact(hello, kPnaHelloSize, timeout);
  // The stream opening, like the dialog, is due whole within one wait.
  player.SetReceiveDeadline(timeout);
  if (std::memcmp(hello, kPnaHello, kPnaHelloSize) != 0) {
    throw CBlockingSocketException(kTextBadHello);
  }
  player.ReceiveExact(hello + kPnaHelloSize, kPnaVersionSize, timeout);
  if (hello[kPnaHelloSize + 1] == 0) {
    throw CBlockingSocketException(kTextBadHelloVersion);
  }
  server.SendAll(hello, sizeof(hello), timeout);
  char value[kTagValueMax];
  for (;;) {
    uint8_t tag_bytes[2];
    const uint16_t tag = Read16(player, timeout, tag_bytes);
    server.SendAll(Chars(tag_bytes), 2, timeout);
    if (tag == kTagEnd) {
      player.ClearReceiveDeadline();
      return channels->resend_wanted;
    }
    uint8_t length_bytes[2];
    const uint16_t length = Read16(player, timeout, length_bytes);
    const bool port_tag = tag == kTagDataPort || tag == kTagResendPort;
    if ((port_tag && length != kPortValueSize) || length > kTagValueMax) {
      throw CBlockingSocketException(kTextBadMessageSize);
    }
    server.SendAll(Chars(length_bytes), 2, timeout);
    if (port_tag) {
      RewritePlayerPort(tag, player, server, sides, channels);
    } else {
      player.ReceiveExact(value, length, timeout);
      server.SendAll(value, length, timeout);
    }
  }
}

bool UdpResendSetup(RealAudioSocket& player, CBlockingSocket& server, const RealAudioSides& sides,
                    RealAudioChannels* channels) {
  const net::Timeout timeout = player.Timeouts().handshake;
  char hello[kPnaHelloSize];
  server.ReceiveExact(hello, kPnaHelloSize, timeout);
  if (std::memcmp(hello, kPnaHello, kPnaHelloSize) != 0) {
    throw CBlockingSocketException(kTextBadServerHello);
  }
  player.SendAll(hello, kPnaHelloSize, timeout);
  char skip[kAnswerSkipSize];
  server.ReceiveExact(skip, kAnswerSkipSize, timeout);
  player.SendAll(skip, kAnswerSkipSize, timeout);
  char mark = 0;
  server.ReceiveExact(&mark, 1, timeout);
  player.SendAll(&mark, 1, timeout);
  if (mark == kAnswerResendMark) {
    uint8_t tag[kAnswerTagSize];
    server.ReceiveExact(Chars(tag), kAnswerTagSize, timeout);
    player.SendAll(Chars(tag), kAnswerTagSize, timeout);
    if (ReadNetwork16(tag + 1) == kAnswerResendTag) {
      uint8_t port[2];
      server.ReceiveExact(Chars(port), 2, timeout);
      channels->server_resend = WithPort(sides.server, port);
      const uint16_t own = OpenDatagram(channels->from_player, sides.player_side);
      player.SendAll(reinterpret_cast<const char*>(&own), 2, timeout);
      return true;
    }
  }
  channels->to_server.Close();
  return false;
}

}  // namespace qlm::circuit
