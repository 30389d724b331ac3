// Reading and writing the leases of the "DHCP" section.
#include "services/dhcp/dhcp_lease_store.h"

#include <arpa/inet.h>

#include <optional>
#include <string>

#include "qlmstd/qlmstd.h"
#include "qlmstd/store_transaction.h"

namespace qlm::dhcp {

namespace {

std::string Dotted(uint32_t host_order) {
  in_addr address{htonl(host_order)};
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

std::optional<std::string> ReadText(const qlmstd::CStoreKey& key, const char* name) {
  const std::optional<qlmstd::StoreValue> value = key.Query(name);
  if (!value || value->type != qlmstd::ValueType::kString) {
    return std::nullopt;
  }
  std::string text(value->data.begin(), value->data.end());
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) {
    text.resize(nul);
  }
  return text;
}

uint32_t ReadNumber(const qlmstd::CStoreKey& key, const char* name) {
  const std::optional<qlmstd::StoreValue> value = key.Query(name);
  if (!value || value->data.size() < 4) {
    return 0;
  }
  return static_cast<uint32_t>(value->data[0]) | static_cast<uint32_t>(value->data[1]) << 8 |
         static_cast<uint32_t>(value->data[2]) << 16 | static_cast<uint32_t>(value->data[3]) << 24;
}

}  // namespace

void SaveLeaseToStore(const DhcpLease& lease) {
  qlmstd::CStoreTransaction transaction;
  if (!transaction.Active()) {
    return;
  }
  const qlmstd::CStoreKey section = qlmstd::CQlmstd::GetAppSectionKey(kLeaseSection);
  const qlmstd::CStoreKey key = section.Open(Dotted(lease.address), true);
  if (!key) {
    return;
  }
  if (key.SetString(kValueMacAddr, lease.client_id) &&
      key.SetString(kValueHostname, lease.host_name) &&
      key.SetDword(kValueAssignTime, lease.assign_time) &&
      key.SetDword(kValueLeasingTime, lease.lease_time)) {
    transaction.Commit();
  }
}

void DeleteLeaseFromStore(uint32_t address) {
  qlmstd::CStoreTransaction transaction;
  if (!transaction.Active()) {
    return;
  }
  const qlmstd::CStoreKey section = qlmstd::CQlmstd::GetAppSectionKey(kLeaseSection);
  if (section) {
    section.DeleteTree(Dotted(address));
    transaction.Commit();
  }
}

std::vector<DhcpLease> ReadLeasesFromStore() {
  std::vector<DhcpLease> leases;
  const qlmstd::CStoreKey section = qlmstd::CQlmstd::GetAppSectionKey(kLeaseSection);
  if (!section) {
    return leases;
  }
  for (uint32_t index = 0;; ++index) {
    const std::optional<std::string> name = section.EnumKey(index);
    if (!name) {
      break;
    }
    in_addr address{};
    if (inet_pton(AF_INET, name->c_str(), &address) != 1) {
      continue;
    }
    const qlmstd::CStoreKey key = section.Open(*name, false);
    const std::optional<std::string> client_id = ReadText(key, kValueMacAddr);
    std::optional<std::string> host_name = ReadText(key, kValueHostname);
    if (!key || !client_id || !host_name) {
      continue;
    }
    DhcpLease lease;
    lease.address = ntohl(address.s_addr);
    lease.client_id = *client_id;
    lease.host_name = host_name->substr(0, kHostNameMax);
    lease.assign_time = ReadNumber(key, kValueAssignTime);
    lease.lease_time = ReadNumber(key, kValueLeasingTime);
    leases.push_back(std::move(lease));
  }
  return leases;
}

}  // namespace qlm::dhcp
