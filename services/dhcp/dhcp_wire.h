// The DHCP server's bytes and texts: the message layout, option codes,
// message types, and every activity and ERR text, copied exactly. Socket-free,
// shared by the server, its tests and its fuzzer.
//
// DHCP message (RFC 2131 section 2, figure 1), as the server keeps it in a
// 548-byte buffer (the first 548 bytes of the datagram, the rest zero):
//
//    0      1      2      3
//   +------+------+------+------+
//   |  op  | htype| hlen | hops |   0
//   +------+------+------+------+
//   |            xid            |   4
//   +-------------+-------------+
//   |    secs     |    flags    |   8
//   +-------------+-------------+
//   |          ciaddr           |  12
//   |          yiaddr           |  16
//   |          siaddr           |  20
//   |          giaddr           |  24
//   +---------------------------+
//   |    chaddr (16 bytes)      |  28
//   |    sname  (64 bytes)      |  44
//   |    file  (128 bytes)      | 108
//   +---------------------------+
//   | 99 | 130 | 83 | 99 cookie | 236 (RFC 2131 section 3)
//   +---------------------------+
//   | options ...          |    | 240 .. 547
//
// Options (RFC 2132 section 2): code, length, data; pad (0) has no length,
// end (255) closes the list.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qlm::dhcp {

// --- Layout ---
inline constexpr size_t kMessageSize = 548;
inline constexpr size_t kOffOp = 0;
inline constexpr size_t kOffHtype = 1;
inline constexpr size_t kOffHlen = 2;
inline constexpr size_t kOffHops = 3;
inline constexpr size_t kOffXid = 4;
inline constexpr size_t kOffSecs = 8;
inline constexpr size_t kOffFlags = 10;
inline constexpr size_t kOffCiaddr = 12;
inline constexpr size_t kOffYiaddr = 16;
inline constexpr size_t kOffSiaddr = 20;
inline constexpr size_t kOffGiaddr = 24;
inline constexpr size_t kOffChaddr = 28;
inline constexpr size_t kChaddrSize = 16;
inline constexpr size_t kOffCookie = 236;
inline constexpr size_t kOffOptions = 240;
inline constexpr uint8_t kMagicCookie[4] = {99, 130, 83, 99};
// BOOTP's minimum message: the bytes every reply sends (RFC 1542 section 2.1).
inline constexpr size_t kReplySendSize = 300;

inline constexpr uint8_t kOpBootReply = 2;
inline constexpr uint16_t kFlagBroadcast = 0x8000;

// --- Option codes (RFC 2132) ---
inline constexpr uint8_t kOptPad = 0;
inline constexpr uint8_t kOptSubnetMask = 1;       // 3.3
inline constexpr uint8_t kOptRouters = 3;          // 3.5
inline constexpr uint8_t kOptDnsServers = 6;       // 3.8
inline constexpr uint8_t kOptHostName = 12;        // 3.14
inline constexpr uint8_t kOptRequestedIp = 50;     // 9.1
inline constexpr uint8_t kOptLeaseTime = 51;       // 9.2
inline constexpr uint8_t kOptMessageType = 53;     // 9.6
inline constexpr uint8_t kOptServerId = 54;        // 9.7
inline constexpr uint8_t kOptRenewalTime = 58;     // 9.11 (T1)
inline constexpr uint8_t kOptRebindingTime = 59;   // 9.12 (T2)
inline constexpr uint8_t kOptClientId = 61;        // 9.14
inline constexpr uint8_t kOptEnd = 255;

// --- Message types (option 53) ---
inline constexpr uint8_t kDhcpDiscover = 1;
inline constexpr uint8_t kDhcpOffer = 2;
inline constexpr uint8_t kDhcpRequest = 3;
inline constexpr uint8_t kDhcpDecline = 4;
inline constexpr uint8_t kDhcpAck = 5;
inline constexpr uint8_t kDhcpNak = 6;
inline constexpr uint8_t kDhcpRelease = 7;
inline constexpr uint8_t kDhcpInform = 8;

// --- Ports ---
inline constexpr uint16_t kServerPort = 67;
inline constexpr uint16_t kClientPort = 68;

// --- Lease times ---
inline constexpr uint32_t kInfiniteLease = 0xFFFFFFFF;
// An offered or released lease holds its address this long.
inline constexpr uint32_t kProvisionalLeaseTime = 15;
// T1 and T2 of an infinite lease.
inline constexpr uint32_t kInfiniteRenewal = 0x1FFFFFFE;
inline constexpr uint32_t kInfiniteRebinding = 0x1FFFFFFF;
// A host name keeps at most this many characters.
inline constexpr size_t kHostNameMax = 31;

// --- Activity records (kind "0") ---
inline constexpr const char* kRecordDiscover = "receive DHCPDISCOVER:mac_id=%s xid=%d hostname=%s";
inline constexpr const char* kRecordOffer =
    "DHCPOFFER:mac_id=%s xid=%d hostname=%s yiaddr=%s lease_time=%d";
inline constexpr const char* kRecordRequest = "receive DHCPREQUEST:mac_id=%s xid=%d";
inline constexpr const char* kRecordDecline = "receive DHCPDECLINE:xid=%d yiaddr=%s";
inline constexpr const char* kRecordRelease = "receive DHCPRELEASE:mac_id=%s xid=%d yiaddr=%s";
inline constexpr const char* kRecordInform = "receive DHCPINFORM:xid=%d";
inline constexpr const char* kRecordAckRenew =
    "DHCPACK:RENEW-BIND:mac_id=%s xid=%d yiaddr=%s lease_time=%d";
inline constexpr const char* kRecordAckSelect =
    "DHCPACK:SELECT:mac_id=%s xid=%d yiaddr=%s lease_time=%d";
inline constexpr const char* kRecordNakSelect = "DHCPNAK:SELECT:mac_id=%s xid=%d reject_ip=%s";
inline constexpr const char* kRecordAckInitReboot =
    "DHCPACK:INIT-REBOOT:mac_id=%s xid=%d yiaddr=%s lease_time=%d";
inline constexpr const char* kRecordNakInitReboot =
    "DHCPNAK:INIT-REBOOT:mac_id=%s xid=%d reject_ip=%s";

// --- ERR lines ---
inline constexpr const char* kErrDecline = "DHCP server has received DHCPDECLINE for ip %s";
inline constexpr const char* kErrNoRecord =
    "DHCP server has no record for ip %s. We must renew the client.";
// A failed message: prefix + the failure's text + suffix.
inline constexpr const char* kErrPrefix = "DHCP server:";
inline constexpr const char* kErrSuffix = " DHCP message was discarded";

// --- Failure texts ---
inline constexpr const char* kProcName = "DhcpDgClientThreadProc";
inline constexpr const char* kTextUnknownType =
    "DhcpDgClientThreadProc:receive unknown DHCP message type from a client";
inline constexpr const char* kTextSendClientFailed =
    "DhcpDgClientThreadProc:sendto the client failed";
inline constexpr const char* kTextSendRouterFailed =
    "DhcpDgClientThreadProc:sendto the router failed";
inline constexpr const char* kTextNoClient = "DhcpDgClientThreadProc:no DHCP request object";
// More messages at once than the server serves: dropped, one line a second.
inline constexpr const char* kTextTooMany =
    "DHCP server:too many DHCP messages at once DHCP message was discarded";
// The listener could not be tied to the interface that holds its address.
inline constexpr const char* kTextNoInterface =
    "DhcpListener:no interface holds the DHCP daemon's address";
inline constexpr const char* kTextBindDevice = "DhcpListener:SO_BINDTODEVICE";
// The configured range cannot be served (bad texts, end before start, the
// two ends in different subnets, or more addresses than the table keeps).
inline constexpr const char* kErrBadRange =
    "DHCP server:the address range %s - %s with mask %s cannot be served";

}  // namespace qlm::dhcp
