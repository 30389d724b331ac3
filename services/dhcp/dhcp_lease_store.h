// The leases in the configuration store: section "DHCP", one subkey per
// lease named by its dotted address, with "MacAddr" (the client id),
// "Hostname", "AssignTime" and "LeasingTime". Each change is one store
// transaction, so a crash leaves a lease whole or not at all. Failed writes
// are ignored: the table in memory stays right for this run.
#pragma once

#include <cstdint>
#include <vector>

#include "services/dhcp/dhcp_lease.h"

namespace qlm::dhcp {

inline constexpr const char* kLeaseSection = "DHCP";
inline constexpr const char* kValueMacAddr = "MacAddr";
inline constexpr const char* kValueHostname = "Hostname";
inline constexpr const char* kValueAssignTime = "AssignTime";
inline constexpr const char* kValueLeasingTime = "LeasingTime";

// Creates or overwrites the lease's subkey.
void SaveLeaseToStore(const DhcpLease& lease);
// Deletes the subkey of the address (host order).
void DeleteLeaseFromStore(uint32_t address);
// Every stored lease in subkey order; subkeys without "MacAddr" or
// "Hostname", or whose name is not a dotted address, are skipped; host
// names are cut to 31 characters.
std::vector<DhcpLease> ReadLeasesFromStore();

}  // namespace qlm::dhcp
