// The SOCKS 4 and SOCKS 5 wire vocabulary: versions, commands, reply codes,
// address types, the fixed sizes of every message, the texts the server
// writes to its log and throws, and the time-outs of a session. Socket-free,
// so the parsers, the tests and the fuzzer share it with the server.
//
// SOCKS 4 request (after "SOCKS: A protocol for TCP proxy across firewalls"):
//   +----+----+----+----+----+----+----+----+----+----+....+----+
//   | VN | CD | DSTPORT |      DSTIP        | USERID       |NULL|
//   +----+----+----+----+----+----+----+----+----+----+....+----+
//      1    1      2              4           variable       1
// SOCKS 4 reply:
//   +----+----+----+----+----+----+----+----+
//   | 0  | CD | DSTPORT |      DSTIP        |   CD 90 granted, 91 rejected
//   +----+----+----+----+----+----+----+----+
//
// SOCKS 5 (RFC 1928). Method selection (section 3):
//   +----+----------+----------+      answer  +----+--------+
//   |VER | NMETHODS | METHODS  |              |VER | METHOD |
//   +----+----------+----------+              +----+--------+
//   | 1  |    1     | 1 to 255 |              | 1  |   1    |
// Request (section 4):
//   +----+-----+-------+------+----------+----------+
//   |VER | CMD |  RSV  | ATYP | DST.ADDR | DST.PORT |
//   +----+-----+-------+------+----------+----------+
//   | 1  |  1  |   1   |  1   | Variable |    2     |
// Reply (section 6), always with an IPv4 address here, 10 bytes:
//   +----+-----+-------+------+----------+----------+
//   |VER | REP |  RSV  | ATYP | BND.ADDR | BND.PORT |
//   +----+-----+-------+------+----------+----------+
//   | 1  |  1  |   0   |  1   |    4     |    2     |
// UDP request header (section 7):
//   +----+------+------+----------+----------+----------+
//   |RSV | FRAG | ATYP | DST.ADDR | DST.PORT |   DATA   |
//   +----+------+------+----------+----------+----------+
//   | 2  |  1   |  1   | Variable |    2     | Variable |
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "net/timeout.h"

namespace qlm::socks {

// Versions (first byte of every request).
inline constexpr uint8_t kVersion4 = 4;
inline constexpr uint8_t kVersion5 = 5;

// Commands (SOCKS 4 CD, SOCKS 5 CMD).
inline constexpr uint8_t kCmdConnect = 1;
inline constexpr uint8_t kCmdBind = 2;
inline constexpr uint8_t kCmdUdpAssociate = 3;

// SOCKS 4 reply codes.
inline constexpr uint8_t kSocks4Granted = 90;
inline constexpr uint8_t kSocks4Rejected = 91;

// SOCKS 5 methods (RFC 1928 section 3).
inline constexpr uint8_t kMethodNoAuth = 0x00;
inline constexpr uint8_t kMethodNoneAcceptable = 0xFF;

// SOCKS 5 reply codes (RFC 1928 section 6) that this server sends.
inline constexpr uint8_t kRepSucceeded = 0;
inline constexpr uint8_t kRepGeneralFailure = 1;
inline constexpr uint8_t kRepHostUnreachable = 4;
inline constexpr uint8_t kRepCommandNotSupported = 7;
inline constexpr uint8_t kRepAddressTypeNotSupported = 8;

// SOCKS 5 address types (RFC 1928 section 5).
inline constexpr uint8_t kAtypIpv4 = 1;
inline constexpr uint8_t kAtypDomain = 3;
inline constexpr uint8_t kAtypIpv6 = 4;

// Sizes.
inline constexpr size_t kSocks4HeaderSize = 8;      // VN CD DSTPORT DSTIP
inline constexpr size_t kSocks4ReplySize = 8;
inline constexpr size_t kSocks5RequestHeadSize = 4; // VER CMD RSV ATYP
inline constexpr size_t kSocks5ReplySize = 10;
inline constexpr size_t kUserNameSize = 256;        // at most 255 characters kept
inline constexpr size_t kUserNameMax = kUserNameSize - 1;
inline constexpr size_t kAddressBufferSize = 280;   // a SOCKS 5 address or discarded rest
inline constexpr size_t kWrongVersionSample = 100;  // bytes read after a wrong version
inline constexpr size_t kWrongVersionDumpSize = 512;
inline constexpr size_t kWrongVersionDumpMax = 505; // characters of the dump
inline constexpr size_t kHostNameSize = 256;
inline constexpr size_t kDatagramBufferSize = 65536;
inline constexpr size_t kUdpMinHeader = 10;         // shortest datagram accepted
inline constexpr size_t kUdpReplyHeaderSize = 10;
inline constexpr int kBindBacklog = 5;

// The daemon name and the labels of the activity lines.
inline constexpr const char* kDaemonName = "SOCKS";
inline constexpr const char* kLabelConnect = "SOCKS_CONNECT";
inline constexpr const char* kLabelBind = "SOCKS_BIND";
inline constexpr const char* kLabelUdp = "SOCKS_UDP";

// Texts thrown by the session (and so written as ERR lines).
inline constexpr const char* kTextLimited = "ClientThreadProc:Limited by maximum connections.";
inline constexpr const char* kTextClientClosed = "ClientThreadProc:Receive Client Closed";
inline constexpr const char* kTextUndefinedCommand = "undefined socks command";
inline constexpr const char* kTextUserClosed =
    "CClientSocket::GetSRCUser:Receive socket reset or closed";
inline constexpr const char* kTextAuthClosed =
    "CClientSocket::Socks5Auth:Receive socket reset or closed";
inline constexpr const char* kTextAuthFails = "ClientThreadProc:Authentication fails";
inline constexpr const char* kTextBadVersion = "CClientSocket::GetSocks5Dest:Bad version";
inline constexpr const char* kTextDestClosed =
    "CClientSocket::GetSocks5Dest:Receive socket reset or closed";
inline constexpr const char* kTextInvalidRequest = "ClientThreadProc:Invalid request";
inline constexpr const char* kTextWrongVersionRead =
    "Wrong socks version or a bad request. It is possible that you are using a different "
    "protocol to connect to this SOCKS port!";
inline constexpr const char* kFormatWrongVersion =
    "Wrong socks version or not a SOCKS protocol: %s\n";
inline constexpr const char* kFormatBindWrongHost =
    "ClientThreadProc:SOCKS_BIND:Wrong host <%s:%u> connected";
inline constexpr const char* kFormatBindWrongPort =
    "ClientThreadProc:SOCKS_BIND:Wrong port <%s:%u> connected";
inline constexpr const char* kTextUdpSelect = "ClientThreadProc:select:UDP closed";
inline constexpr const char* kTextUdpControlRecv =
    "ClientThreadProc::SOCKS_UDP:recv error from client";
inline constexpr const char* kTextUdpRecvFrom = "ClientThreadProc::recvfrom client for UDP";
inline constexpr const char* kFormatUdpControlBytes =
    "receiving %d bytes from UDP client at the control connection, discard it";
inline constexpr const char* kTextUdpNotMatching = "receive not matching client IP UDP packet";

// Activity record texts.
inline constexpr const char* kFormatConnectActivity =
    "CONNECT: %s:%u (%s %s) -> Proxy %s:%u -> Remote %s:%u (%s)";
inline constexpr const char* kFormatBindActivity =
    "BIND: %s:%u (%s) -> Proxy %s:%u -> Local %s:%u (%s)";
inline constexpr const char* kFormatUdpAssociateActivity = "UDP: %s:%u:%u (%s %s)";
inline constexpr const char* kFormatUdpOutActivity =
    "UDP: %s:%u (%s) -> Proxy %s:%u -> Remote %s:%u (%s)";
inline constexpr const char* kFormatUdpInActivity =
    "UDP: %s:%u (%s) -> Proxy %s:%u -> Local %s:%u (%s)";

}  // namespace qlm::socks
