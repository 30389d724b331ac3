// The engine-wide host-name cache: forward (name -> addresses) and reverse
// (address -> name) maps, each behind its own mutex, entries kept for
// CacheTime seconds. Failed reverse look-ups are cached too, so a client
// without a reverse name costs one resolver call per CacheTime, not one per
// connection. The resolver and the clock are seams for tests.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace qlm::net {

// A deep copy of one resolver host record plus the time it was fetched.
struct HostEntry {
  std::string name;                  // official name; empty = empty entry
  std::vector<std::string> aliases;
  int address_type = AF_INET;
  int address_length = 4;
  std::vector<in_addr> addresses;    // network order
  std::time_t fetched = 0;           // seconds since the epoch

  bool Empty() const { return name.empty() && addresses.empty(); }
};

// The platform resolver, replaceable in tests (which count the calls).
class IResolver {
 public:
  virtual ~IResolver() = default;
  // gethostbyname; nullopt when the name does not resolve.
  virtual std::optional<HostEntry> ByName(const std::string& name) = 0;
  // gethostbyaddr (4-byte address, AF_INET); nullopt on failure.
  virtual std::optional<HostEntry> ByAddress(in_addr address) = 0;
};

class CHostCache {
 public:
  static constexpr unsigned kDefaultCacheTime = 10800;  // seconds (3 hours)
  // Each map's bound: the names asked for come from the network, so a full
  // map first drops what is stale, then its oldest entry.
  static constexpr size_t kMaxEntries = 4096;

  // The engine's instance.
  static CHostCache& Instance();

  CHostCache();
  ~CHostCache();

  // Forward look-up: a copy of the entry (empty when the name does not resolve;
  // failures are not stored). `name` null: empty entry.
  HostEntry Lookup(const char* name);
  // Reverse look-up: the official name, or the dotted address when the
  // resolver fails ("unknown" when even that fails); both are cached.
  std::string ReverseLookup(in_addr address);

  void SetCacheTime(unsigned seconds);
  unsigned CacheTime() const;

  // Seams for tests. SetResolver(nullptr) restores the system resolver.
  void SetResolver(std::shared_ptr<IResolver> resolver);
  void SetClock(std::function<std::time_t()> clock);
  // Tests only: forget every entry.
  void Clear();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qlm::net
