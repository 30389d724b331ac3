// Offer: the lease a DISCOVER gets. In order: the client's own lease, the
// address it asked for, the lowest free address, the first expired lease.
// Every lease it returns holds its address for 15 seconds from now, is in
// both indexes and is saved.
#include "services/dhcp/dhcp_lease_table.h"
#include "services/dhcp/dhcp_lease_store.h"

namespace qlm::dhcp {

std::optional<DhcpLease> DhcpLeaseTable::Offer(const std::string& client_id, uint32_t requested,
                                               const std::string& host_name) {
  std::lock_guard lock(mutex_);
  const uint32_t now = clock_.Now();
  if (DhcpLease* own = ByClientLocked(client_id)) {
    if (UsableLocked(own->address) && !AnswersLocked(own->address)) {
      GrantLocked(*own, host_name, now);
      SaveLeaseToStore(*own);
      return *own;
    }
    DiscardLocked(own->address);
  }
  if (requested != 0) {
    if (std::optional<DhcpLease> lease = OfferRequestedLocked(client_id, requested, host_name, now)) {
      return lease;
    }
  }
  return OfferFreeLocked(client_id, host_name, now);
}

std::optional<DhcpLease> DhcpLeaseTable::OfferRequestedLocked(const std::string& client_id,
                                                              uint32_t requested,
                                                              const std::string& host_name,
                                                              uint32_t now) {
  if (DhcpLease* held = ByAddressLocked(requested)) {
    if (held->Infinite() || !held->Expired(now)) {
      return std::nullopt;
    }
    ReindexLocked(*held, client_id);
    if (UsableLocked(requested) && !AnswersLocked(requested)) {
      GrantLocked(*held, host_name, now);
      SaveLeaseToStore(*held);
      return *held;
    }
    DiscardLocked(requested);
    return std::nullopt;
  }
  // A set bit without a lease is an address known to be taken (declined,
  // answering the echo, withheld after an unknown INIT-REBOOT): not offered.
  if (!UsableLocked(requested) || MarkedLocked(requested) || AnswersLocked(requested)) {
    return std::nullopt;
  }
  MarkLocked(requested);
  DhcpLease& lease = AddLocked(requested, client_id);
  GrantLocked(lease, host_name, now);
  SaveLeaseToStore(lease);
  return lease;
}

DhcpLease* DhcpLeaseTable::FirstExpiredLocked(uint32_t now) {
  for (auto& [address, lease] : by_address_) {
    if (lease.Expired(now) && UsableLocked(address)) {
      return &lease;
    }
  }
  return nullptr;
}

std::optional<DhcpLease> DhcpLeaseTable::OfferFreeLocked(const std::string& client_id,
                                                         const std::string& host_name,
                                                         uint32_t now) {
  // Each round takes a free bit or discards an expired lease, so the loop
  // ends after at most size + leases rounds.
  for (;;) {
    DhcpLease* lease = nullptr;
    if (std::optional<uint32_t> free = TakeLowestFreeLocked()) {
      lease = &AddLocked(*free, client_id);
    } else {
      lease = FirstExpiredLocked(now);
      if (lease == nullptr) {
        return std::nullopt;
      }
      ReindexLocked(*lease, client_id);
    }
    GrantLocked(*lease, host_name, now);
    if (AnswersLocked(lease->address)) {
      DiscardLocked(lease->address);
      continue;
    }
    SaveLeaseToStore(*lease);
    return *lease;
  }
}

}  // namespace qlm::dhcp
