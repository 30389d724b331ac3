// Email, DNS and DHCP values of a daemon entry.
#include "engine/config/daemon_extra.h"

#include "engine/config/store_values.h"

namespace qlm::engine {

namespace {

EmailSettings LoadEmail(const qlmstd::CStoreKey& entry) {
  EmailSettings email;
  ReadString(entry, "Pop3S_ip", &email.Pop3S_ip);
  ReadString(entry, "SmtpS_ip", &email.SmtpS_ip);
  email.Pop3Port = ReadInt(entry, "Pop3Port");
  email.SmtpPort = ReadInt(entry, "SmtpPort");
  email.SmtpProxyPort = ReadInt(entry, "SmtpProxyPort");
  std::string delimiter;
  ReadString(entry, "Pop3Delimiter", &delimiter);
  email.Pop3Delimiter = delimiter.empty() ? '#' : delimiter[0];
  ReadString(entry, "ContactDomain", &email.ContactDomain);
  return email;
}

DnsSettings LoadDns(const qlmstd::CStoreKey& entry) {
  DnsSettings dns;
  dns.Broadcast = ReadFlag(entry, "Broadcast", 1);
  dns.Forward = ReadFlag(entry, "Forward", 0);
  dns.TTL = ReadInt(entry, "TTL");
  dns.Servers = SubKeyNames(entry);
  return dns;
}

DhcpSettings LoadDhcp(const qlmstd::CStoreKey& entry) {
  DhcpSettings dhcp;
  ReadString(entry, "FromAddr", &dhcp.FromAddr);
  ReadString(entry, "ToAddr", &dhcp.ToAddr);
  ReadString(entry, "Netmask", &dhcp.Netmask);
  ReadString(entry, "Gateway", &dhcp.Gateway);
  ReadString(entry, "DNS", &dhcp.DNS);
  dhcp.LeasingTime = static_cast<int32_t>(ReadInt(entry, "LeasingTime"));
  if (dhcp.LeasingTime == 0) {
    dhcp.LeasingTime = -1;
  }
  dhcp.VerifyIP = ReadFlag(entry, "VerifyIP", 1);
  dhcp.DefaultDNS = ReadFlag(entry, "DefaultDNS", 1);
  dhcp.DefaultGateway = ReadFlag(entry, "DefaultGateway", 1);
  return dhcp;
}

void SaveEmail(const qlmstd::CStoreKey& entry, const EmailSettings& email) {
  WriteString(entry, "Pop3S_ip", email.Pop3S_ip);
  WriteString(entry, "SmtpS_ip", email.SmtpS_ip);
  WriteString(entry, "Pop3Delimiter", std::string(1, email.Pop3Delimiter));
  WriteInt(entry, "Pop3Port", email.Pop3Port);
  WriteInt(entry, "SmtpPort", email.SmtpPort);
  WriteInt(entry, "SmtpProxyPort", email.SmtpProxyPort);
  WriteString(entry, "ContactDomain", email.ContactDomain);
}

void SaveDns(const qlmstd::CStoreKey& entry, const DnsSettings& dns) {
  WriteFlag(entry, "Broadcast", dns.Broadcast);
  WriteFlag(entry, "Forward", dns.Forward);
  WriteInt(entry, "TTL", dns.TTL);
  for (const std::string& server : dns.Servers) {
    entry.Open(server, true);
  }
}

void SaveDhcp(const qlmstd::CStoreKey& entry, const DhcpSettings& dhcp) {
  WriteString(entry, "FromAddr", dhcp.FromAddr);
  WriteString(entry, "ToAddr", dhcp.ToAddr);
  WriteString(entry, "Netmask", dhcp.Netmask);
  WriteString(entry, "Gateway", dhcp.Gateway);
  WriteString(entry, "DNS", dhcp.DNS);
  WriteInt(entry, "LeasingTime", static_cast<uint32_t>(dhcp.LeasingTime));
  WriteFlag(entry, "VerifyIP", dhcp.VerifyIP);
  WriteFlag(entry, "DefaultGateway", dhcp.DefaultGateway);
  WriteFlag(entry, "DefaultDNS", dhcp.DefaultDNS);
}

}  // namespace

void LoadDaemonExtra(const qlmstd::CStoreKey& entry, ProtocolSettings& daemon) {
  if (daemon.name == "Email") {
    daemon.extra = LoadEmail(entry);
  } else if (daemon.name == "DNS") {
    daemon.extra = LoadDns(entry);
  } else if (daemon.name == "DHCP") {
    // Stored DHCP entries are loaded like any other daemon, so the DHCP
    // server's listener is opened and its settings reach it.
    daemon.extra = LoadDhcp(entry);
  }
}

void SaveDaemonExtra(const qlmstd::CStoreKey& entry, const ProtocolSettings& daemon) {
  if (const EmailSettings* email = daemon.Email()) {
    SaveEmail(entry, *email);
  } else if (const DnsSettings* dns = daemon.Dns()) {
    SaveDns(entry, *dns);
  } else if (const DhcpSettings* dhcp = daemon.Dhcp()) {
    SaveDhcp(entry, *dhcp);
  }
}

}  // namespace qlm::engine
