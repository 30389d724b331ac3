// The DNS relay's vocabulary: the message header bits it reads and sets, the
// record types and classes it writes, its size limits, and every text it logs
// or reports. Socket-free, so the parsers, the fuzzer and the tests share it.
//
// Message header (RFC 1035 section 4.1.1), network byte order:
//
//   offset  0  ID                       16 bits
//   offset  2  |QR| Opcode  |AA|TC|RD|  flags byte 1
//   offset  3  |RA|   Z    |  RCODE  |  flags byte 2
//   offset  4  QDCOUNT                  16 bits
//   offset  6  ANCOUNT                  16 bits
//   offset  8  NSCOUNT                  16 bits
//   offset 10  ARCOUNT                  16 bits
//   offset 12  question: QNAME, QTYPE (16), QCLASS (16)   (section 4.1.2)
#pragma once

#include <cstddef>
#include <cstdint>

namespace qlm::dns {

inline constexpr size_t kHeaderSize = 12;
inline constexpr size_t kFlags1 = 2;
inline constexpr size_t kFlags2 = 3;
inline constexpr size_t kQdCount = 4;
inline constexpr size_t kAnCount = 6;
inline constexpr size_t kNsCount = 8;
inline constexpr size_t kArCount = 10;

// Flags byte 1.
inline constexpr uint8_t kFlagQr = 0x80;
inline constexpr uint8_t kOpcodeMask = 0x78;
inline constexpr uint8_t kFlagAa = 0x04;
inline constexpr uint8_t kFlagRd = 0x01;
// Flags byte 2.
inline constexpr uint8_t kFlagRa = 0x80;
inline constexpr uint8_t kRcodeMask = 0x0F;
// A name error answer: QR and AA set; RA set and RCODE 3 (name error).
inline constexpr uint8_t kNameErrorFlags1 = 0x84;
inline constexpr uint8_t kNameErrorKeep2 = 0xF3;
inline constexpr uint8_t kNameErrorFlags2 = 0x83;

// Types and classes (RFC 1035 sections 3.2.2, 3.2.4).
inline constexpr uint16_t kTypeA = 1;
inline constexpr uint16_t kTypeCname = 5;
inline constexpr uint16_t kClassIn = 1;

// Names (RFC 1035 section 4.1.4): a length byte above 63 starts a
// compression pointer whose low 14 bits are an offset in the message.
inline constexpr uint8_t kMaxLabelLength = 63;
inline constexpr uint16_t kPointerOffsetMask = 0x3FFF;
// The name text (with a "." after each label) stays below this many
// characters; a written name of this length or more gives no record.
inline constexpr size_t kNameTextLimit = 255;
// A chain of pointers longer than this is a loop (a name below 255
// characters has fewer labels than this).
inline constexpr int kMaxPointerJumps = 128;

// A local answer stays shorter than this; upstream replies are read into
// buffers of kReplyBufferSize; a query longer than that gets no echo.
inline constexpr size_t kAnswerLimit = 511;
inline constexpr size_t kReplyBufferSize = 512;
inline constexpr uint16_t kDnsPort = 53;
// The dispatcher hands over only datagrams of at least this many bytes.
inline constexpr size_t kMinRequestLength = 14;
// An upstream reply is longer than a bare header.
inline constexpr size_t kMinReplyLength = kHeaderSize + 1;

// Failures of a request (the client gets no reply; nothing is logged).
inline constexpr const char* kTextInvalidRequest =
    "DnsDgClientThreadProc:receiving an invalid DNS request";
inline constexpr const char* kTextUpstreamTimeout = "Time out when waiting remote DNS";
inline constexpr const char* kTextSendToClient = "DnsDgClientThreadProc:sendto the client";
inline constexpr const char* kTextNoHostName = "CDnsDgClientSocket::Can't get the host name";
inline constexpr const char* kTextSameHostLookup = "CDnsDgSocket::IsSameHost:gethostbyname";
inline constexpr const char* kTextNoRequest = "DnsDgClientThreadProc:no DNS request object";
inline constexpr const char* kProcName = "DnsDgClientThreadProc";

// The DNS workers running at once are bounded; a request beyond the bound is
// dropped, with at most one line a second saying so.
inline constexpr const char* kTextWorkersBusy =
    "DnsDgClientThreadProc:too many DNS requests at once, request dropped";
// The dispatcher cannot tell whether a sender is this host: it drops it.
inline constexpr const char* kSuffixSameHostFailed = " in DNS daemon, request dropped";

// Activity.
inline constexpr const char* kFormatLookupActivity = "%s (%s) -> Look up %s";
inline constexpr const char* kLabelDial = "DIAL";
inline constexpr const char* kTextDialReason = "Domain name lookup";
inline constexpr const char* kNoRemote = "-";

// The daemon name and the thread name given at start.
inline constexpr const char* kDaemonName = "DNS";

}  // namespace qlm::dns
