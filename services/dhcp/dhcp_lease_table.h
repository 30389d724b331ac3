// The engine-wide lease table of the DHCP server: the address range with its
// allocation bitmap, the leases indexed by address and by client id, and the
// store, which gets every change at once. One mutex covers it all, including
// the echo checks an offer makes (up to 125 ms each).
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "services/dhcp/dhcp_config.h"
#include "services/dhcp/dhcp_lease.h"

namespace qlm::dhcp {

// The range as the settings give it, host order.
struct DhcpRange {
  uint32_t base = 0;  // FromAddr
  uint32_t end = 0;   // ToAddr
  uint32_t mask = 0;  // Netmask
};

// Parses FromAddr, ToAddr and Netmask. nullopt when a text is not a dotted
// address, the end lies before the start, the two ends lie in different
// subnets, or the range holds more than kMaxRangeSize addresses.
std::optional<DhcpRange> ParseRange(const std::string& from, const std::string& to,
                                    const std::string& netmask);
// A larger range would make the bitmap a memory hazard; a /12 is plenty for
// one office network.
inline constexpr uint32_t kMaxRangeSize = 1u << 20;

class DhcpLeaseTable {
 public:
  // `probe` answers the VerifyIP echo check; null: no machine ever answers.
  explicit DhcpLeaseTable(const IClock& clock = CSystemClock::Instance(),
                          IAddressProbe* probe = nullptr);
  DhcpLeaseTable(const DhcpLeaseTable&) = delete;
  DhcpLeaseTable& operator=(const DhcpLeaseTable&) = delete;

  // Range set-up: the range (none: nothing is ever offered), the bitmap with
  // the unused bits of its last byte set, the host's own addresses (host
  // order) marked, then Load.
  void SetUp(const std::optional<DhcpRange>& range, bool verify,
             const std::vector<uint32_t>& own_addresses);
  // Reads every stored lease into both indexes and marks its address.
  void Load();

  // A lease for a DISCOVER (requested address 0: none): assign time now,
  // 15 seconds, indexed and saved; nullopt when no address is free.
  std::optional<DhcpLease> Offer(const std::string& client_id, uint32_t requested,
                                 const std::string& host_name);
  // The lease of `address` belongs to `client_id` and its address is usable:
  // renewed for `lease_time` from now and saved, true. Otherwise false.
  bool Confirm(const std::string& client_id, uint32_t address, uint32_t lease_time);
  // 1: the client's own lease (renewed for `lease_time` from now and saved);
  // 0: the address is not usable or leased to another client; -1: no lease.
  int CheckInitReboot(const std::string& client_id, uint32_t address, uint32_t lease_time);
  // The client's lease of `address` holds it for 15 more seconds only.
  void Release(const std::string& client_id, uint32_t address);
  // Withholds an address of the range (and subnet) from new leases.
  void MarkUsed(uint32_t address);

  // For tests and the store check.
  std::optional<DhcpLease> Find(uint32_t address) const;
  std::optional<DhcpLease> FindClient(const std::string& client_id) const;
  bool IsMarked(uint32_t address) const;
  size_t Size() const;

 private:
  using LeaseMap = std::map<uint32_t, DhcpLease>;

  bool UsableLocked(uint32_t address) const;
  bool InRangeLocked(uint32_t address) const;
  bool MarkedLocked(uint32_t address) const;
  void MarkLocked(uint32_t address);
  // The lowest free address, its bit set; nullopt when none is left.
  std::optional<uint32_t> TakeLowestFreeLocked();
  bool AnswersLocked(uint32_t address);
  DhcpLease* ByClientLocked(const std::string& client_id);
  DhcpLease* ByAddressLocked(uint32_t address);
  // Indexes the lease under `client_id`, dropping its old client's entry.
  void ReindexLocked(DhcpLease& lease, const std::string& client_id);
  // Out of both indexes and the store; the address bit stays set.
  void DiscardLocked(uint32_t address);
  DhcpLease& AddLocked(uint32_t address, const std::string& client_id);
  void GrantLocked(DhcpLease& lease, const std::string& host_name, uint32_t now);
  std::optional<DhcpLease> OfferRequestedLocked(const std::string& client_id, uint32_t requested,
                                                const std::string& host_name, uint32_t now);
  std::optional<DhcpLease> OfferFreeLocked(const std::string& client_id,
                                           const std::string& host_name, uint32_t now);
  DhcpLease* FirstExpiredLocked(uint32_t now);

  const IClock& clock_;
  IAddressProbe* probe_;
  mutable std::mutex mutex_;
  DhcpRange range_;                   // Guarded by mutex_
  uint32_t size_ = 0;                 // Guarded by mutex_
  std::vector<uint8_t> bitmap_;       // Guarded by mutex_
  bool verify_ = false;               // Guarded by mutex_
  std::vector<uint32_t> own_;         // Guarded by mutex_
  LeaseMap by_address_;               // Guarded by mutex_
  std::unordered_map<std::string, uint32_t> by_client_;  // Guarded by mutex_
};

}  // namespace qlm::dhcp
