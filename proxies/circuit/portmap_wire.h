// Every ERR, activity and reply text of the port mappings, exactly as they
// are logged and sent.
#pragma once

namespace qlm::circuit {

// The listener thread.
inline constexpr const char* kFormatAcceptFailed = "PortMapThreadProc:accept (#%d): %s";
inline constexpr const char* kFormatRecvFromFailed =
    "PortMapThreadProc:recvfrom datagram error (#%d): %s";
inline constexpr const char* kFormatSenderPortNotListed =
    "PortMapThreadProc::sender's port (%u) is not listed for the datagram";
inline constexpr const char* kTextSelectFailed = "PortMapThreadProc:select";
// Beyond the connection limit a datagram starts no thread at all.
inline constexpr const char* kTextDatagramsDropped =
    "PortMapThreadProc:Limited by maximum connections, datagrams dropped";

// The plain TCP mapping.
inline constexpr const char* kTextBadClientPort =
    "PortMapClientThreadProc:Client connect from bad port number";
inline constexpr const char* kTextTcpLimited =
    "PortMapClientThreadProc:Limited by maximum connections.";
inline constexpr const char* kFormatUnresolved = "Port mapping to remote host <%s> is unresolved!";
inline constexpr const char* kSuffixTcp = " Port mapping connection closed";
inline constexpr const char* kLabelTcp = "PORT-MAP";
inline constexpr const char* kFormatTcpActivity = "%s: %s:%u (%s) -> Proxy %s:%u -> %s:%u (%s)";

// The UDP mapping.
inline constexpr const char* kTextUdpLimited =
    "PortMapUdpThreadProc:Limited by maximum connections, drop the received datagram";
inline constexpr const char* kFormatUdpUnresolved =
    "PortMappUdpThreadProc:ResovlHostByName:UDP Port mapping to server %s is unresolved";
inline constexpr const char* kSuffixUdp = " in port mapping udp connection";
inline constexpr const char* kLabelUdp = "UDP-PORTMAP";
inline constexpr const char* kFormatUdpActivity = "%s: %s:%u (%s) -> Port %u -> %s:%u (%s)";
inline constexpr const char* kFormatUdpReturnActivity =
    "%s: %s:%u (%s) -> Port %u -> %s:%u (%s) return message";

// Thrown when the context holds no client of the worker's type.
inline constexpr const char* kTextNoClient = "PortMapThreadProc:no client socket";

}  // namespace qlm::circuit
