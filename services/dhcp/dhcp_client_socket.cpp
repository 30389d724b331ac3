// The request object's socket work: sharing the daemon's socket and sending
// a reply from the server's own address (IP_PKTINFO, RFC 3542 style source
// choice for IPv4), so the source is the server identifier even on an
// interface with several addresses.
#include "services/dhcp/dhcp_client_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "net/traffic_idle_flag.h"
#include "net/winsock_errors.h"

namespace qlm::dhcp {

namespace {
constexpr const char* kCreateText = "CBlockingSocket::Create socket";
}

void CDhcpDgClientSocket::ShareSocket(int daemon_socket) {
  const int fd = ::fcntl(daemon_socket, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) {
    throw net::CBlockingSocketException(kCreateText, net::WinsockFromErrno(errno));
  }
  Attach(fd);
}

void CDhcpDgClientSocket::SendReply(const uint8_t* data, size_t length, const sockaddr_in& to,
                                    net::Timeout timeout, const char* failure) {
  int error = 0;
  if (WaitSelf(POLLOUT, timeout, &error) != net::CWaitSet::Result::kReady) {
    throw net::CBlockingSocketException(failure);
  }
  // Broadcasting on, as a reply to a client without an address needs; a
  // failure shows as the send's own failure.
  const int on = 1;
  ::setsockopt(handle_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  iovec part{const_cast<uint8_t*>(data), length};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
  msghdr message{};
  message.msg_name = const_cast<sockaddr_in*>(&to);
  message.msg_namelen = sizeof to;
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  if (local_.sin_addr.s_addr != 0) {
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst = local_.sin_addr;
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
  }
  net::TrafficIdleFlag().exchange(0);
  if (::sendmsg(handle_, &message, MSG_NOSIGNAL) < 0) {
    throw net::CBlockingSocketException(failure);
  }
}

}  // namespace qlm::dhcp
