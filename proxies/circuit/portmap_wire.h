// Every ERR, activity and reply text of the port mappings, exactly as they
// are logged and sent.
#pragma once

namespace qlm::circuit {

// The rule that makes a TCP mapping FTP-aware (compared exactly).
inline constexpr const char* kRuleFtp = "FTP";

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

// The FTP-aware mapping.
inline constexpr const char* kTextFtpLimited =
    "PortMapFTPClientThreadProc:Limited by maximum connections.";
inline constexpr const char* kFormatFtpUnresolved =
    "PortMapFTPClientThreadProc:local hostname (%s) is unresolved";
inline constexpr const char* kFormatFtpConnectFailed = "Client FTP to local host (%s) failed";
inline constexpr const char* kTextFtpSelect = "PortMapFTPClientThreadProc:select";
inline constexpr const char* kTextFtpServerRecv =
    "PortMapFTPClientThreadProc:Other errors from remote cmd connection, command connection "
    "closed";
inline constexpr const char* kFormatFtpSyntaxError = "Ftp client syntax error with (%s)";
// A PORT naming a host other than the client's own would let anyone make the
// proxy connect into the network (the FTP bounce).
inline constexpr const char* kFormatFtpPortOtherHost =
    "Ftp client PORT names another host (%s) than its own (%s)";
inline constexpr const char* kTextFtpDataAccept = "Can't accept data connection from the FTP server";
inline constexpr const char* kFormatFtpDataOtherServer =
    "Receiving data connection from other server (%s:%u)";
inline constexpr const char* kFormatFtpClientConnectFailed = "Connecting to client (%s:%u) failed";
inline constexpr const char* kSuffixFtp = " in Ftp connection";
inline constexpr const char* kLabelFtp = "FTP-PORTMAP";
inline constexpr const char* kFormatFtpLoginsActivity = "Remote %s:%u (%s) logins";
inline constexpr const char* kFormatFtpActivity =
    "Remote %s:%u (%s) -> Proxy %s:%u -> Local %s:%u (%s)";
inline constexpr const char* kReplyFtpTimeOut = "421 FTP server times out. Please login again.\r\n";

// Thrown when the context holds no client of the worker's type.
inline constexpr const char* kTextNoClient = "PortMapThreadProc:no client socket";

}  // namespace qlm::circuit
