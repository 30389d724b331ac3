// The lease table: range set-up, the bitmap, both indexes, loading, and the
// operations of REQUEST, DECLINE and RELEASE. Offer lives in
// dhcp_lease_offer.cpp.
#include "services/dhcp/dhcp_lease_table.h"

#include <arpa/inet.h>

#include <algorithm>

#include "services/dhcp/dhcp_lease_store.h"

namespace qlm::dhcp {

namespace {

std::optional<uint32_t> ParseDotted(const std::string& text) {
  in_addr address{};
  if (inet_pton(AF_INET, text.c_str(), &address) != 1) {
    return std::nullopt;
  }
  return ntohl(address.s_addr);
}

}  // namespace

std::optional<DhcpRange> ParseRange(const std::string& from, const std::string& to,
                                    const std::string& netmask) {
  const std::optional<uint32_t> base = ParseDotted(from);
  const std::optional<uint32_t> end = ParseDotted(to);
  const std::optional<uint32_t> mask = ParseDotted(netmask);
  if (!base || !end || !mask || *end < *base || (*base & *mask) != (*end & *mask) ||
      *end - *base >= kMaxRangeSize) {
    return std::nullopt;
  }
  return DhcpRange{*base, *end, *mask};
}

DhcpLeaseTable::DhcpLeaseTable(const IClock& clock, IAddressProbe* probe)
    : clock_(clock), probe_(probe) {}

void DhcpLeaseTable::SetUp(const std::optional<DhcpRange>& range, bool verify,
                           const std::vector<uint32_t>& own_addresses) {
  {
    std::lock_guard lock(mutex_);
    verify_ = verify;
    own_ = own_addresses;
    by_address_.clear();
    by_client_.clear();
    range_ = range.value_or(DhcpRange{});
    // (end AND NOT mask) - (base AND NOT mask) + 1; both ends share the
    // subnet, so this is end - base + 1.
    size_ = range ? (range_.end & ~range_.mask) - (range_.base & ~range_.mask) + 1 : 0;
    bitmap_.assign((size_ + 7) / 8, 0);
    if (size_ % 8 != 0) {
      bitmap_.back() = static_cast<uint8_t>(0xFF >> (size_ % 8));
    }
    for (uint32_t address : own_) {
      if (InRangeLocked(address)) {
        MarkLocked(address);
      }
    }
  }
  Load();
}

void DhcpLeaseTable::Load() {
  const std::vector<DhcpLease> stored = ReadLeasesFromStore();
  std::lock_guard lock(mutex_);
  for (const DhcpLease& lease : stored) {
    DhcpLease& kept = by_address_[lease.address];
    if (!kept.client_id.empty() && kept.client_id != lease.client_id) {
      auto old = by_client_.find(kept.client_id);
      if (old != by_client_.end() && old->second == lease.address) {
        by_client_.erase(old);
      }
    }
    kept = lease;
    by_client_[lease.client_id] = lease.address;
    if (InRangeLocked(lease.address)) {
      MarkLocked(lease.address);
    }
  }
}

bool DhcpLeaseTable::InRangeLocked(uint32_t address) const {
  return size_ != 0 && (address & range_.mask) == (range_.base & range_.mask) &&
         address >= range_.base && address <= range_.end;
}

bool DhcpLeaseTable::UsableLocked(uint32_t address) const {
  return InRangeLocked(address) && std::find(own_.begin(), own_.end(), address) == own_.end();
}

bool DhcpLeaseTable::MarkedLocked(uint32_t address) const {
  const uint32_t index = address - range_.base;
  return (bitmap_[index / 8] & (0x80 >> (index % 8))) != 0;
}

void DhcpLeaseTable::MarkLocked(uint32_t address) {
  const uint32_t index = address - range_.base;
  bitmap_[index / 8] |= static_cast<uint8_t>(0x80 >> (index % 8));
}

std::optional<uint32_t> DhcpLeaseTable::TakeLowestFreeLocked() {
  for (size_t byte = 0; byte < bitmap_.size(); ++byte) {
    if (bitmap_[byte] == 0xFF) {
      continue;
    }
    for (uint32_t bit = 0; bit < 8; ++bit) {
      if ((bitmap_[byte] & (0x80 >> bit)) == 0) {
        const uint32_t address = range_.base + static_cast<uint32_t>(byte) * 8 + bit;
        MarkLocked(address);
        return address;
      }
    }
  }
  return std::nullopt;
}

bool DhcpLeaseTable::AnswersLocked(uint32_t address) {
  return verify_ && probe_ != nullptr && probe_->Answers(address);
}

DhcpLease* DhcpLeaseTable::ByAddressLocked(uint32_t address) {
  auto found = by_address_.find(address);
  return found != by_address_.end() ? &found->second : nullptr;
}

DhcpLease* DhcpLeaseTable::ByClientLocked(const std::string& client_id) {
  auto found = by_client_.find(client_id);
  return found != by_client_.end() ? ByAddressLocked(found->second) : nullptr;
}

void DhcpLeaseTable::ReindexLocked(DhcpLease& lease, const std::string& client_id) {
  auto old = by_client_.find(lease.client_id);
  if (old != by_client_.end() && old->second == lease.address) {
    by_client_.erase(old);
  }
  lease.client_id = client_id;
  by_client_[client_id] = lease.address;
}

void DhcpLeaseTable::DiscardLocked(uint32_t address) {
  auto found = by_address_.find(address);
  if (found == by_address_.end()) {
    return;
  }
  auto client = by_client_.find(found->second.client_id);
  if (client != by_client_.end() && client->second == address) {
    by_client_.erase(client);
  }
  by_address_.erase(found);
  DeleteLeaseFromStore(address);
}

DhcpLease& DhcpLeaseTable::AddLocked(uint32_t address, const std::string& client_id) {
  DhcpLease& lease = by_address_[address];
  lease = DhcpLease{};
  lease.address = address;
  lease.client_id = client_id;
  by_client_[client_id] = address;
  return lease;
}

void DhcpLeaseTable::GrantLocked(DhcpLease& lease, const std::string& host_name, uint32_t now) {
  lease.host_name = host_name.substr(0, kHostNameMax);
  lease.assign_time = now;
  lease.lease_time = kProvisionalLeaseTime;
}

bool DhcpLeaseTable::Confirm(const std::string& client_id, uint32_t address,
                             uint32_t lease_time) {
  std::lock_guard lock(mutex_);
  DhcpLease* lease = ByAddressLocked(address);
  if (lease == nullptr || !UsableLocked(address) || lease->client_id != client_id) {
    return false;
  }
  lease->assign_time = clock_.Now();
  lease->lease_time = lease_time;
  SaveLeaseToStore(*lease);
  return true;
}

int DhcpLeaseTable::CheckInitReboot(const std::string& client_id, uint32_t address,
                                    uint32_t lease_time) {
  std::lock_guard lock(mutex_);
  if (!UsableLocked(address)) {
    return 0;
  }
  DhcpLease* lease = ByAddressLocked(address);
  if (lease == nullptr) {
    return -1;
  }
  if (lease->client_id != client_id) {
    return 0;
  }
  // Renewed whether or not it had expired: the ACK grants `lease_time` from
  // now, and the table must not give the address away any sooner.
  lease->assign_time = clock_.Now();
  lease->lease_time = lease_time;
  SaveLeaseToStore(*lease);
  return 1;
}

void DhcpLeaseTable::Release(const std::string& client_id, uint32_t address) {
  std::lock_guard lock(mutex_);
  DhcpLease* lease = ByAddressLocked(address);
  if (lease == nullptr || !UsableLocked(address) || lease->client_id != client_id) {
    return;
  }
  lease->assign_time = clock_.Now();
  lease->lease_time = kProvisionalLeaseTime;
  SaveLeaseToStore(*lease);
}

void DhcpLeaseTable::MarkUsed(uint32_t address) {
  std::lock_guard lock(mutex_);
  if (InRangeLocked(address)) {
    MarkLocked(address);
  }
}

std::optional<DhcpLease> DhcpLeaseTable::Find(uint32_t address) const {
  std::lock_guard lock(mutex_);
  auto found = by_address_.find(address);
  return found != by_address_.end() ? std::optional(found->second) : std::nullopt;
}

std::optional<DhcpLease> DhcpLeaseTable::FindClient(const std::string& client_id) const {
  std::lock_guard lock(mutex_);
  auto found = by_client_.find(client_id);
  if (found == by_client_.end()) {
    return std::nullopt;
  }
  auto lease = by_address_.find(found->second);
  return lease != by_address_.end() ? std::optional(lease->second) : std::nullopt;
}

bool DhcpLeaseTable::IsMarked(uint32_t address) const {
  std::lock_guard lock(mutex_);
  return InRangeLocked(address) && MarkedLocked(address);
}

size_t DhcpLeaseTable::Size() const {
  std::lock_guard lock(mutex_);
  return by_address_.size();
}

}  // namespace qlm::dhcp
