// The "Daemons" section: one record per daemon name, with its listener texts
// and, for Email, DNS and DHCP, the daemon's own settings.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "engine/config/config_direction.h"
#include "net/host_addresses.h"

namespace qlm::engine {

struct EmailSettings {
  std::string Pop3S_ip;
  std::string SmtpS_ip;
  uint32_t Pop3Port = 110;
  uint32_t SmtpPort = 25;
  uint32_t SmtpProxyPort = 25;
  char Pop3Delimiter = '#';
  // The domain the POP3 greeting names for comments; empty (or not stored):
  // the host's own domain name, or "localhost" when it has none.
  std::string ContactDomain;

  bool operator==(const EmailSettings&) const = default;
};

struct DnsSettings {
  uint32_t Broadcast = 1;
  uint32_t Forward = 0;
  uint32_t TTL = 10800;
  std::vector<std::string> Servers;  // names of empty subkeys of the entry

  bool operator==(const DnsSettings&) const = default;
};

struct DhcpSettings {
  std::string FromAddr;
  std::string ToAddr;
  std::string Netmask;
  std::string Gateway;
  std::string DNS;
  int32_t LeasingTime = -1;  // -1: no limit (a stored 0 reads as -1)
  uint32_t VerifyIP = 1;
  uint32_t DefaultDNS = 1;
  uint32_t DefaultGateway = 1;

  bool operator==(const DhcpSettings&) const = default;
};

struct ProtocolSettings {
  std::string name;
  uint32_t default_port = 0;
  uint32_t enable = 0;
  uint32_t security = 0;
  std::vector<std::string> listeners;  // "ip:port" texts in load order
  std::variant<std::monostate, EmailSettings, DnsSettings, DhcpSettings> extra;

  const EmailSettings* Email() const { return std::get_if<EmailSettings>(&extra); }
  const DnsSettings* Dns() const { return std::get_if<DnsSettings>(&extra); }
  const DhcpSettings* Dhcp() const { return std::get_if<DhcpSettings>(&extra); }

  bool operator==(const ProtocolSettings&) const = default;
};

// Listener texts are cut to this many characters when saved.
inline constexpr size_t kDaemonListenerMax = 31;

// Load: the stored daemons in enumeration order, then the basic daemons that
// are missing, each with one listener on `host_address`. Save: the whole
// section is deleted and rewritten in one transaction.
void ExchangeDaemons(std::vector<ProtocolSettings>& daemons, ConfigDirection direction,
                     const std::string& host_address = net::HostFirstAddress());

}  // namespace qlm::engine
