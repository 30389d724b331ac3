// The RealAudio proxy's bytes and texts: the dialog frame a player uses to
// name its media server, the opcodes, the status frames the proxy answers
// with, the stream opening ("PNA") whose UDP ports the proxy rewrites, and
// every text the proxy logs or throws. Socket free: tests, the fuzzer and the
// engine include it alike.
//
// Dialog frame, both directions, network byte order:
//
//   +--------+--------+-----------------+
//   | L (2)  | opcode | value (L - 1)   |     L: bytes after the length
//   +--------+--------+-----------------+
//
//   opcode  direction        value
//   1       both             version, 1 byte, must be 1
//   2       player to proxy  server host name or dotted address (>= 1 byte)
//   3       player to proxy  server port, exactly 2 bytes, network order
//   4       player to proxy  exactly 2 bytes, kept and not used
//   5       player to proxy  exactly 1 byte: non-zero for TCP only
//   0       player to proxy  end of the dialog
//   6       proxy to player  status: 1 code byte, then text
//
// Player's stream opening (to the server): "PNA", 2 version bytes (the second
// not 0), then tags of 2 bytes: 0 ends; 1 (data port) and 7 (resend port) are
// followed by a length of 2 and the port; any other tag by a length N (at
// most 2048) and N bytes.
// Server's answer: "PNA", 6 bytes, 1 byte; when that byte is 'O', 3 bytes
// whose last two are 7 announce the server's 2-byte resend port.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qlm::circuit {

inline constexpr const char* kRealAudioDaemonName = "RealAudio";
inline constexpr uint16_t kRealAudioDefaultPort = 1090;

// Dialog opcodes.
inline constexpr uint8_t kOpEnd = 0;
inline constexpr uint8_t kOpVersion = 1;
inline constexpr uint8_t kOpHost = 2;
inline constexpr uint8_t kOpPort = 3;
inline constexpr uint8_t kOpKept = 4;
inline constexpr uint8_t kOpTcpOnly = 5;
inline constexpr uint8_t kOpStatus = 6;

inline constexpr uint8_t kDialogVersion = 1;
inline constexpr size_t kFrameLengthSize = 2;
// The longest value a player may send in one frame (a host name's limit);
// a longer frame is bad information.
inline constexpr size_t kFrameValueMax = 255;

// The proxy's own version frame.
inline constexpr uint8_t kVersionFrame[] = {0x00, 0x02, kOpVersion, kDialogVersion};

// Status frames: L = text length + 2, at most 64.
inline constexpr size_t kStatusLengthMax = 64;
inline constexpr size_t kStatusFrameMax = kFrameLengthSize + kStatusLengthMax;
inline constexpr uint8_t kStatusSuccess = 0;
inline constexpr uint8_t kStatusNoConnect = 1;
inline constexpr uint8_t kStatusBadInformation = 2;
inline constexpr uint8_t kStatusBadVersion = 3;
inline constexpr uint8_t kStatusInvalidOpcode = 4;

inline constexpr const char* kStatusTextSuccess = "Success to connect to remote server";
inline constexpr const char* kStatusTextLimited = "Limited by maximum connections";
inline constexpr const char* kStatusTextNoConnect =
    "No Connect, could not connect to RealAudio Server";
inline constexpr const char* kStatusTextBadInformation =
    "Bad Information was received in the proxy dialog";
inline constexpr const char* kStatusTextBadVersion =
    "Bad Version, the RealAudio Proxy version number does not match";
inline constexpr const char* kStatusTextInvalidOpcode =
    "Invalid Opcode was received in the proxy dialog";

// Stream opening.
inline constexpr char kPnaHello[] = {'P', 'N', 'A'};
inline constexpr size_t kPnaHelloSize = 3;
inline constexpr size_t kPnaVersionSize = 2;
inline constexpr uint16_t kTagEnd = 0;
inline constexpr uint16_t kTagDataPort = 1;
inline constexpr uint16_t kTagResendPort = 7;
inline constexpr uint16_t kPortValueSize = 2;
inline constexpr uint16_t kTagValueMax = 2048;
// Server's answer after "PNA": 6 bytes, then the byte that may be 'O', then
// 3 bytes whose last two (network order) are 7 when a resend port follows.
inline constexpr size_t kAnswerSkipSize = 6;
inline constexpr char kAnswerResendMark = 'O';
inline constexpr size_t kAnswerTagSize = 3;
inline constexpr uint16_t kAnswerResendTag = 7;

// Relay buffer and the datagram channels' activity rows.
inline constexpr int kRelayBufferSize = 4096;
inline constexpr const char* kRowData = "1";
inline constexpr const char* kRowResend = "2";
inline constexpr const char* kActivityLabel = "RealAudio";

// Texts thrown (and so written as ERR lines with the suffix).
inline constexpr const char* kErrSuffix = " in RealAudio connection, connection closed";
inline constexpr const char* kTextNoClient = "RealAudioThreadProc:no RealAudio client";
inline constexpr const char* kTextLimited = "RealAudioThreadProc:Limited by maximum connections.";
inline constexpr const char* kTextBadVersion = "RealAudioThreadProc:Bad RealAudio Version";
inline constexpr const char* kTextBadInformation =
    "RealAudioSocket::ProxySetup:Bad Information was received in the proxy dialog";
inline constexpr const char* kTextInvalidOpcode =
    "RealAudioSocket::ProxySetup:Invalid Opcode was received in the proxy dialog";
inline constexpr const char* kFormatUnresolved =
    "RealAudioThreadProc:RealAudio player connects to a unresolved remote server %s";
inline constexpr const char* kFormatConnectFailed =
    "RealAudio player failed to connect to the remote server %s";
inline constexpr const char* kTextTimedOut = "RealAudioThreadProc:RealAudio player timed out";
inline constexpr const char* kTextSelectError = "RealAudioThreadProc:select Error";
inline constexpr const char* kFormatServerErrors =
    "RealAudioThreadProc:Other errors (#%d): %s from the server";
inline constexpr const char* kTextClientErrors =
    "RealAudioThreadProc:Other errors from client for RealAudio, connection closed";
inline constexpr const char* kTextUdpReadErrors =
    "RealAudioThreadProc:reading errors from server for RealAudio Udp data, connection closed";
inline constexpr const char* kFormatUnknownDataSender =
    "Receiving Udp packet from unknown RealAudio Server (%s). Ignore";
inline constexpr const char* kFormatUnknownResendSender =
    "Receiving robust Udp packet from unknown RealAudio Server (%s). Ignore";
inline constexpr const char* kTextBadHello =
    "RealAudioSocket::ProxyUdpSetup:Bad Hello Message was received";
inline constexpr const char* kTextBadHelloVersion =
    "RealAudioSocket::ProxyUdpSetup:Bad Version in Hello Message";
inline constexpr const char* kTextBadMessageSize = "RealAudioSocket::ProxyUdpSetup:Bad Message Size";
inline constexpr const char* kTextBadServerHello =
    "RealAudioSocket::UdpResendSetup:Bad Hello Message was received from server";

// Activity record texts.
inline constexpr const char* kFormatActivity =
    "%s:%u (%s) -> Proxy %s:%u -> Remote %s:%u (%s)";
inline constexpr const char* kFormatDataActivity =
    "UDP %s:%u (%s) <- Proxy %s:%u <- Remote %s (%s)";
inline constexpr const char* kFormatResendActivity =
    "UDP %s:%u (%s) -> Proxy %s:%u:%u -> Remote %s:%u (%s)";

}  // namespace qlm::circuit
