// The engine-wide host-name cache. The resolver runs outside both locks, so
// one slow DNS answer never holds up other connections' look-ups; two threads
// resolving the same name at once both store it and the later one wins.
#include "net/host_cache.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace qlm::net {
namespace {

// The platform resolver: getaddrinfo/getnameinfo, which unlike
// gethostbyname/gethostbyaddr are safe to call from many threads.
class CSystemResolver : public IResolver {
 public:
  std::optional<HostEntry> ByName(const std::string& name) override {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* result = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0 || result == nullptr) {
      return std::nullopt;
    }
    HostEntry entry;
    entry.name = result->ai_canonname != nullptr ? result->ai_canonname : name;
    if (entry.name != name) {
      entry.aliases.push_back(name);
    }
    for (addrinfo* ai = result; ai != nullptr; ai = ai->ai_next) {
      if (ai->ai_family != AF_INET || ai->ai_addr == nullptr) {
        continue;
      }
      in_addr address = reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr;
      bool seen = std::any_of(entry.addresses.begin(), entry.addresses.end(),
                              [&](in_addr a) { return a.s_addr == address.s_addr; });
      if (!seen) {
        entry.addresses.push_back(address);
      }
    }
    freeaddrinfo(result);
    if (entry.addresses.empty()) {
      return std::nullopt;
    }
    return entry;
  }

  std::optional<HostEntry> ByAddress(in_addr address) override {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr = address;
    char host[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&sa), sizeof(sa), host, sizeof(host),
                    nullptr, 0, NI_NAMEREQD) != 0) {
      return std::nullopt;
    }
    HostEntry entry;
    entry.name = host;
    entry.addresses.push_back(address);
    return entry;
  }
};

std::string DottedOrUnknown(in_addr address) {
  char text[INET_ADDRSTRLEN] = {};
  if (inet_ntop(AF_INET, &address, text, sizeof(text)) == nullptr) {
    return "unknown";
  }
  return text;
}

}  // namespace

struct CHostCache::Impl {
  std::mutex forward_mutex;
  std::unordered_map<std::string, HostEntry> forward;  // Guarded by forward_mutex
  std::mutex reverse_mutex;
  std::unordered_map<uint32_t, HostEntry> reverse;     // Guarded by reverse_mutex
  std::atomic<unsigned> cache_time{kDefaultCacheTime};
  std::mutex seam_mutex;
  std::shared_ptr<IResolver> resolver;                 // Guarded by seam_mutex
  std::function<std::time_t()> clock;                  // Guarded by seam_mutex

  std::shared_ptr<IResolver> Resolver() {
    std::lock_guard<std::mutex> lock(seam_mutex);
    return resolver;
  }
  std::time_t Now() {
    std::function<std::time_t()> now;
    {
      std::lock_guard<std::mutex> lock(seam_mutex);
      now = clock;
    }
    return now ? now() : std::time(nullptr);
  }
  bool Fresh(const HostEntry& entry, std::time_t now) const {
    const std::time_t age = now - entry.fetched;
    return age >= 0 && age <= static_cast<std::time_t>(cache_time.load());
  }
  // Stores `entry` under `key`, keeping the map within kMaxEntries. The
  // caller holds the map's mutex.
  template <typename Map>
  void Store(Map& map, const typename Map::key_type& key, const HostEntry& entry) {
    if (map.size() >= kMaxEntries && map.find(key) == map.end()) {
      const std::time_t now = entry.fetched;
      std::erase_if(map, [&](const auto& item) { return !Fresh(item.second, now); });
      if (map.size() >= kMaxEntries) {
        map.erase(std::min_element(map.begin(), map.end(), [](const auto& a, const auto& b) {
          return a.second.fetched < b.second.fetched;
        }));
      }
    }
    map[key] = entry;
  }
};

CHostCache& CHostCache::Instance() {
  static CHostCache instance;
  return instance;
}

CHostCache::CHostCache() : impl_(std::make_unique<Impl>()) {
  impl_->resolver = std::make_shared<CSystemResolver>();
}

CHostCache::~CHostCache() = default;

HostEntry CHostCache::Lookup(const char* name) {
  if (name == nullptr) {
    return HostEntry{};
  }
  const std::string key(name);
  {
    std::lock_guard<std::mutex> lock(impl_->forward_mutex);
    auto found = impl_->forward.find(key);
    if (found != impl_->forward.end() && impl_->Fresh(found->second, impl_->Now())) {
      return found->second;
    }
  }
  std::optional<HostEntry> resolved = impl_->Resolver()->ByName(key);
  if (!resolved) {
    return HostEntry{};
  }
  resolved->fetched = impl_->Now();
  std::lock_guard<std::mutex> lock(impl_->forward_mutex);
  impl_->Store(impl_->forward, key, *resolved);
  return *resolved;
}

std::string CHostCache::ReverseLookup(in_addr address) {
  const uint32_t key = address.s_addr;
  {
    std::lock_guard<std::mutex> lock(impl_->reverse_mutex);
    auto found = impl_->reverse.find(key);
    if (found != impl_->reverse.end() && impl_->Fresh(found->second, impl_->Now())) {
      return found->second.name;
    }
  }
  std::optional<HostEntry> resolved = impl_->Resolver()->ByAddress(address);
  HostEntry entry;
  if (resolved && !resolved->name.empty()) {
    entry = std::move(*resolved);
  } else {
    // Remember the failure as the dotted text, so the next connection from
    // the same client does not ask the resolver again.
    entry.name = DottedOrUnknown(address);
    entry.addresses.assign(1, address);
  }
  entry.fetched = impl_->Now();
  std::lock_guard<std::mutex> lock(impl_->reverse_mutex);
  impl_->Store(impl_->reverse, key, entry);
  return entry.name;
}

void CHostCache::SetCacheTime(unsigned seconds) { impl_->cache_time.store(seconds); }

unsigned CHostCache::CacheTime() const { return impl_->cache_time.load(); }

void CHostCache::SetResolver(std::shared_ptr<IResolver> resolver) {
  std::lock_guard<std::mutex> lock(impl_->seam_mutex);
  impl_->resolver = resolver ? std::move(resolver) : std::make_shared<CSystemResolver>();
}

void CHostCache::SetClock(std::function<std::time_t()> clock) {
  std::lock_guard<std::mutex> lock(impl_->seam_mutex);
  impl_->clock = std::move(clock);
}

void CHostCache::Clear() {
  {
    std::lock_guard<std::mutex> lock(impl_->forward_mutex);
    impl_->forward.clear();
  }
  std::lock_guard<std::mutex> lock(impl_->reverse_mutex);
  impl_->reverse.clear();
}

}  // namespace qlm::net
