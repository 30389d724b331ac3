// The echo check's socket work (RFC 792: echo is type 8, its reply type 0).
#include "services/dhcp/dhcp_icmp_echo.h"

#include <arpa/inet.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>

#include "net/wait_set.h"

namespace qlm::dhcp {

namespace {

// Big enough for an IP header with options and an echo reply header: the
// requests carry no data, so neither do the replies.
constexpr size_t kReplyBuffer = 128;

uint16_t Checksum(const uint8_t* data, size_t length) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < length; i += 2) {
    sum += static_cast<uint32_t>(data[i]) << 8 | data[i + 1];
  }
  if (length % 2 != 0) {
    sum += static_cast<uint32_t>(data[length - 1]) << 8;
  }
  while (sum >> 16 != 0) {
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return static_cast<uint16_t>(~sum);
}

class CIcmpSocket {
 public:
  CIcmpSocket() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd_ < 0) {
      fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
      raw_ = fd_ >= 0;
    }
  }
  ~CIcmpSocket() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  CIcmpSocket(const CIcmpSocket&) = delete;
  CIcmpSocket& operator=(const CIcmpSocket&) = delete;

  int fd() const { return fd_; }
  bool raw() const { return raw_; }

 private:
  int fd_ = -1;
  bool raw_ = false;
};

// Whether one received datagram is the echo reply from `target`.
bool IsReply(const uint8_t* data, ssize_t length, bool raw, uint16_t id, uint16_t seq,
             const sockaddr_in& from, in_addr target) {
  if (from.sin_addr.s_addr != target.s_addr) {
    return false;
  }
  size_t offset = 0;
  if (raw) {
    if (length < 1) {
      return false;
    }
    offset = static_cast<size_t>(data[0] & 0x0F) * 4;
  }
  if (length < 0 || static_cast<size_t>(length) < offset + sizeof(icmphdr)) {
    return false;
  }
  icmphdr header{};
  std::memcpy(&header, data + offset, sizeof header);
  // An unprivileged socket's echo id is chosen by the kernel, which also
  // hands it only its own replies.
  return header.type == ICMP_ECHOREPLY && header.un.echo.sequence == htons(seq) &&
         (!raw || header.un.echo.id == htons(id));
}

}  // namespace

bool CIcmpEcho::Answers(uint32_t address) {
  static std::atomic<uint16_t> next_seq{1};
  CIcmpSocket icmp;
  if (icmp.fd() < 0) {
    return false;
  }
  const uint16_t id = static_cast<uint16_t>(::getpid());
  const uint16_t seq = next_seq++;
  icmphdr request{};
  request.type = ICMP_ECHO;
  request.un.echo.id = htons(id);
  request.un.echo.sequence = htons(seq);
  request.checksum = htons(Checksum(reinterpret_cast<const uint8_t*>(&request), sizeof request));
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(address);
  if (::sendto(icmp.fd(), &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&to),
               sizeof to) < 0) {
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + wait_;
  for (;;) {
    const auto left = std::chrono::duration_cast<net::Timeout>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return false;
    }
    net::CWaitSet waits;
    waits.Add(icmp.fd(), POLLIN);
    waits.AddShutdown();
    if (waits.Wait(left) != net::CWaitSet::Result::kReady) {
      return false;
    }
    uint8_t reply[kReplyBuffer];
    sockaddr_in from{};
    socklen_t from_length = sizeof from;
    const ssize_t got = ::recvfrom(icmp.fd(), reply, sizeof reply, MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&from), &from_length);
    if (got >= 0 && IsReply(reply, got, icmp.raw(), id, seq, from, to.sin_addr)) {
      return true;
    }
  }
}

}  // namespace qlm::dhcp
