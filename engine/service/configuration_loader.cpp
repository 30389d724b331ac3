// Loading the stored configuration (General, Daemons, PortMap, Activity, Log,
// in that order) into the records the engine keeps, and the views of them the
// service body works from.
#include <vector>

#include "engine/service/configuration_records.h"
#include "engine/service/engine_configuration.h"
#include "net/host_addresses.h"
#include "net/host_cache.h"

namespace qlm::engine {

namespace {

struct LoadedRecords {
  GeneralSettings general;
  std::vector<ProtocolSettings> daemons;
  std::vector<PortMapSettings> port_maps;
  ActivitySettings activity;
  LogSettings log;
};

dialup::DialUpSettings DialUpFrom(const GeneralSettings& general) {
  dialup::DialUpSettings settings;
  settings.UseDialUp = general.UseDialUp != 0;
  settings.DialUpManaged = general.DialUpManaged != 0;
  settings.AutoConnect = general.AutoConnect != 0;
  settings.NoDNSAutoConnect = general.NoDNSAutoConnect != 0;
  settings.DialUpProfile = general.DialUpProfile;
  settings.DialUpUserId = general.DialUpUserId;
  settings.DialUpPasswd = general.DialUpPasswd;
  settings.DisconnectIdle = general.DisconnectIdle != 0;
  settings.DisconnectIdleTime = static_cast<int>(general.DisconnectIdleTime);
  settings.KeepAliveIdle = general.KeepAliveIdle != 0;
  settings.KeepAliveIdleTime = static_cast<int>(general.KeepAliveIdleTime);
  settings.DialOnControl = general.DialOnControl != 0;
  return settings;
}

// The copies a daemon's listener record carries. DNS and DHCP listen for
// datagrams; DNS also sets the host cache's lifetime to its TTL. (The DHCP
// lease table is set up by the DHCP server from its copy.)
std::function<void(DaemonRecord&)> PrepareFor(const ProtocolSettings& daemon) {
  if (const EmailSettings* email = daemon.Email(); email != nullptr && daemon.name == "Email") {
    return [email](DaemonRecord& record) { record.email = std::make_unique<EmailSettings>(*email); };
  }
  if (const DnsSettings* dns = daemon.Dns(); dns != nullptr && daemon.name == "DNS") {
    return [dns](DaemonRecord& record) {
      record.dns = std::make_unique<DnsSettings>(*dns);
      record.type = net::kDatagram;
      net::CHostCache::Instance().SetCacheTime(dns->TTL);
    };
  }
  if (const DhcpSettings* dhcp = daemon.Dhcp(); dhcp != nullptr && daemon.name == "DHCP") {
    return [dhcp](DaemonRecord& record) {
      record.dhcp = std::make_unique<DhcpSettings>(*dhcp);
      record.type = net::kDatagram;
    };
  }
  return {};
}

DaemonSource DaemonFrom(const ProtocolSettings& daemon) {
  DaemonSource source;
  source.name = daemon.name;
  source.default_port = static_cast<int>(daemon.default_port);
  source.enable = daemon.enable != 0;
  source.security = daemon.security;
  source.listeners = daemon.listeners;
  source.prepare = PrepareFor(daemon);
  return source;
}

PortMapSource PortMapFrom(const PortMapSettings& map) {
  PortMapSource source;
  source.name = map.name;
  source.rule = map.rule;
  source.bi_udp = map.bi_udp != 0;
  source.listeners = map.listeners;
  source.remote_server = map.remote_server;
  source.remote_port = map.remote_port;
  source.out_port = map.out_port;
  source.protocol = map.protocol;
  source.client_port = map.client_port;
  source.enable = map.enable != 0;
  return source;
}

}  // namespace

std::unique_ptr<EngineConfiguration> LoadEngineConfiguration() {
  auto records = std::make_shared<LoadedRecords>();
  const std::string host_address = net::HostFirstAddress();
  ExchangeGeneral(records->general, ConfigDirection::kLoad);
  ExchangeDaemons(records->daemons, ConfigDirection::kLoad, host_address);
  ExchangePortMaps(records->port_maps, ConfigDirection::kLoad);
  ExchangeActivity(records->activity, ConfigDirection::kLoad);
  ExchangeLog(records->log, ConfigDirection::kLoad);

  auto config = std::make_unique<EngineConfiguration>();
  const GeneralSettings& general = records->general;
  config->general = general;
  config->addressing = {general.UseDefaultIP != 0, general.DefaultIP, host_address};
  config->dial_up = DialUpFrom(general);
  config->auto_update = general.AutoUpdate != 0;
  for (const ProtocolSettings& daemon : records->daemons) {
    config->daemons.push_back(DaemonFrom(daemon));
  }
  for (const PortMapSettings& map : records->port_maps) {
    config->port_maps.push_back(PortMapFrom(map));
  }
  config->activity_enable = records->activity.Enable != 0;
  config->max_connections = records->activity.MaxConnections;
  config->log_enable = records->log.Enable != 0;
  config->log_file = records->log.FileName;
  config->max_lines = records->log.MaxLines;
  config->records = records;
  return config;
}

}  // namespace qlm::engine
