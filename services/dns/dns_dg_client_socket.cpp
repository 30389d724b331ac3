// The DNS request object and the same-host test.
#include "services/dns/dns_dg_client_socket.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>

#include "net/host_addresses.h"
#include "net/host_cache.h"
#include "services/dns/dns_wire.h"

namespace qlm::dns {

CDnsDgClientSocket::CDnsDgClientSocket(const std::vector<char>& datagram,
                                       const sockaddr_in& sender)
    : datagram_(datagram.begin(), datagram.end()), sender_(sender) {}

bool CDnsDgClientSocket::CheckRequest() {
  return CheckDnsRequest(datagram_.data(), datagram_.size(), &request_) ==
         net::ParseStatus::kDone;
}

namespace {

// The host's own addresses, read again at most once a second: the
// dispatcher asks for every datagram, and reading the interfaces and
// resolving the host name each time would slow it below a burst's pace,
// while an address that comes up (a dial-up link) still counts within a
// second.
constexpr std::chrono::seconds kOwnAddressesFresh{1};

struct OwnAddresses {
  std::mutex mutex;
  std::vector<in_addr> addresses;                 // Guarded by mutex
  std::chrono::steady_clock::time_point read_at;  // Guarded by mutex
  bool read = false;                              // Guarded by mutex
};

// The host name alone is no guide on this system (a stock installation
// resolves it to 127.0.1.1, or not at all), so the interfaces' addresses
// count first; the name's addresses are added as the original rule has it.
std::vector<in_addr> ReadOwnAddresses() {
  std::vector<in_addr> own;
  for (const net::InterfaceAddress& item : net::ListInterfaceAddresses()) {
    own.push_back(item.address);
  }
  char name[256] = {};
  if (gethostname(name, sizeof(name) - 1) != 0) {
    throw net::CBlockingSocketException(kTextNoHostName);
  }
  const net::HostEntry host = net::CHostCache::Instance().Lookup(name);
  if (host.addresses.empty() && own.empty()) {
    throw net::CBlockingSocketException(kTextSameHostLookup);
  }
  own.insert(own.end(), host.addresses.begin(), host.addresses.end());
  return own;
}

}  // namespace

bool CDnsDgClientSocket::IsSameHost(const sockaddr_in& sender) {
  static OwnAddresses cache;
  std::lock_guard lock(cache.mutex);
  const auto now = std::chrono::steady_clock::now();
  if (!cache.read || now - cache.read_at >= kOwnAddressesFresh) {
    cache.addresses = ReadOwnAddresses();
    cache.read_at = now;
    cache.read = true;
  }
  return std::any_of(cache.addresses.begin(), cache.addresses.end(),
                     [&](in_addr a) { return a.s_addr == sender.sin_addr.s_addr; });
}

}  // namespace qlm::dns
