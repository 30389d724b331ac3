// Loading and saving the "Daemons" section.
#include "engine/config/protocol_settings.h"

#include <algorithm>

#include "engine/config/daemon_extra.h"
#include "engine/config/store_values.h"

namespace qlm::engine {

namespace {

// The daemons every engine has, added on load when the store lacks them.
struct BasicDaemon {
  const char* name;
  uint32_t port;
  uint32_t enable;
};
constexpr BasicDaemon kBasicDaemons[] = {
    {"DNS", 53, 1},      {"HTTP", 80, 1},     {"SOCKS", 1080, 1},   {"FTP", 21, 0},
    {"Telnet", 23, 0},   {"RealAudio", 1090, 0}, {"Email", 110, 0},
};
constexpr uint32_t kEmailSecondPort = 25;

ProtocolSettings* FindDaemon(std::vector<ProtocolSettings>& daemons, const std::string& name) {
  auto it = std::find_if(daemons.begin(), daemons.end(),
                         [&](const ProtocolSettings& p) { return p.name == name; });
  return it == daemons.end() ? nullptr : &*it;
}

ProtocolSettings LoadDaemonEntry(const qlmstd::CStoreKey& entry, const std::string& name) {
  ProtocolSettings daemon;
  daemon.name = name;
  daemon.default_port = ReadInt(entry, "DefaultPort");
  daemon.enable = ReadFlag(entry, "Enable", 0);
  daemon.security = ReadFlag(entry, "Security", 0);
  LoadDaemonExtra(entry, daemon);
  return daemon;
}

void LoadStoredDaemons(std::vector<ProtocolSettings>& daemons) {
  qlmstd::CStoreKey section = qlmstd::CQlmstd::GetAppSectionKey(kSectionDaemons);
  if (!section) {
    return;
  }
  std::string name;  // an entry without "Name" keeps the one read before it
  for (const std::string& listener : SubKeyNames(section)) {
    qlmstd::CStoreKey entry = section.Open(listener, false);
    if (!entry) {
      continue;
    }
    ReadString(entry, "Name", &name);
    ProtocolSettings* daemon = FindDaemon(daemons, name);
    if (!daemon) {
      daemons.push_back(LoadDaemonEntry(entry, name));
      daemon = &daemons.back();
    }
    daemon->listeners.push_back(listener);
  }
}

void AddBasicDaemons(std::vector<ProtocolSettings>& daemons, const std::string& host_address) {
  for (const BasicDaemon& basic : kBasicDaemons) {
    if (FindDaemon(daemons, basic.name)) {
      continue;
    }
    ProtocolSettings daemon;
    daemon.name = basic.name;
    daemon.default_port = basic.port;
    daemon.enable = basic.enable;
    daemon.listeners.push_back(host_address + ":" + std::to_string(basic.port));
    if (daemon.name == "DNS") {
      daemon.extra = DnsSettings{};
    } else if (daemon.name == "Email") {
      daemon.extra = EmailSettings{};
      daemon.listeners.push_back(host_address + ":" + std::to_string(kEmailSecondPort));
    }
    daemons.push_back(std::move(daemon));
  }
}

void SaveDaemonEntry(const qlmstd::CStoreKey& section, const ProtocolSettings& daemon,
                     const std::string& listener) {
  qlmstd::CStoreKey entry = section.Open(listener.substr(0, kDaemonListenerMax), true);
  if (!entry) {
    return;
  }
  WriteInt(entry, "DefaultPort", daemon.default_port);
  WriteFlag(entry, "Enable", daemon.enable);
  WriteFlag(entry, "Security", daemon.security);
  WriteString(entry, "Name", daemon.name);
  SaveDaemonExtra(entry, daemon);
}

}  // namespace

void ExchangeDaemons(std::vector<ProtocolSettings>& daemons, ConfigDirection direction,
                     const std::string& host_address) {
  if (direction == ConfigDirection::kLoad) {
    daemons.clear();
    LoadStoredDaemons(daemons);
    AddBasicDaemons(daemons, host_address);
    return;
  }
  SaveSectionInTransaction([&] {
    qlmstd::CQlmstd::WriteRegProfileString(kSectionDaemons, nullptr, nullptr);
    qlmstd::CStoreKey section = qlmstd::CQlmstd::GetAppSectionKey(kSectionDaemons);
    if (!section) {
      return false;
    }
    for (const ProtocolSettings& daemon : daemons) {
      for (const std::string& listener : daemon.listeners) {
        SaveDaemonEntry(section, daemon, listener);
      }
    }
    return true;
  });
}

}  // namespace qlm::engine
