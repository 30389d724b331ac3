// The DNS request object and the same-host test.
#include "services/dns/dns_dg_client_socket.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>

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
// dispatcher asks for every datagram, and reading the interfaces each time
// would slow it below a burst's pace, while an address that comes up (a
// dial-up link) still counts within a second. The host name is resolved at
// most once a minute, a failure included: when the host's resolver is this
// relay, each look-up would wait for the dispatcher that is making it.
constexpr std::chrono::seconds kInterfacesFresh{1};
constexpr std::chrono::seconds kHostNameFresh{60};

struct OwnAddresses {
  using Clock = std::chrono::steady_clock;
  std::mutex mutex;
  std::vector<in_addr> interfaces;  // Guarded by mutex
  std::vector<in_addr> named;       // Guarded by mutex
  std::optional<Clock::time_point> interfaces_at;  // Guarded by mutex
  std::optional<Clock::time_point> named_at;       // Guarded by mutex
};

std::vector<in_addr> InterfaceAddresses() {
  std::vector<in_addr> own;
  for (const net::InterfaceAddress& item : net::ListInterfaceAddresses()) {
    own.push_back(item.address);
  }
  return own;
}

// The addresses the host name resolves to.
std::vector<in_addr> NamedAddresses() {
  char name[256] = {};
  if (gethostname(name, sizeof(name) - 1) != 0) {
    throw net::CBlockingSocketException(kTextNoHostName);
  }
  return net::CHostCache::Instance().Lookup(name).addresses;
}

bool Contains(const std::vector<in_addr>& list, in_addr address) {
  return std::any_of(list.begin(), list.end(),
                     [&](in_addr a) { return a.s_addr == address.s_addr; });
}

}  // namespace

// The host name alone is no guide on this system (a stock installation
// resolves it to 127.0.1.1, or not at all), so the interfaces' addresses
// count too.
bool CDnsDgClientSocket::IsSameHost(const sockaddr_in& sender) {
  static OwnAddresses own;
  std::lock_guard lock(own.mutex);
  const auto now = OwnAddresses::Clock::now();
  if (!own.interfaces_at || now - *own.interfaces_at >= kInterfacesFresh) {
    own.interfaces = InterfaceAddresses();
    own.interfaces_at = now;
  }
  if (!own.named_at || now - *own.named_at >= kHostNameFresh) {
    own.named_at = now;
    own.named = NamedAddresses();
  }
  if (own.interfaces.empty() && own.named.empty()) {
    throw net::CBlockingSocketException(kTextSameHostLookup);
  }
  return Contains(own.interfaces, sender.sin_addr) || Contains(own.named, sender.sin_addr);
}

}  // namespace qlm::dns
