// Loading and saving the "PortMap" section.
#include "engine/config/port_map_settings.h"

#include <algorithm>

#include "engine/config/store_values.h"

namespace qlm::engine {

namespace {

constexpr size_t kPortMapNameMax = 64;  // subkey names read on load

PortMapSettings LoadMapEntry(const qlmstd::CStoreKey& entry, const std::string& name,
                             const std::string& protocol) {
  PortMapSettings map;
  map.name = name;
  map.protocol = protocol;
  ReadString(entry, "RemoteServer", &map.remote_server);
  map.remote_port = ReadInt(entry, "RemotePort");
  map.out_port = ReadInt(entry, "OutPort");
  map.client_port = ReadInt(entry, "ClientPort");
  ReadString(entry, "Rule", &map.rule);
  map.enable = ReadFlag(entry, "Enable", 0);
  map.bi_udp = ReadFlag(entry, "BiUDP", 0);
  return map;
}

void SaveMapEntry(const qlmstd::CStoreKey& section, const PortMapSettings& map, const std::string& listener) {
  const std::string key = listener.substr(0, kPortMapListenerMax) + "/" + map.protocol;
  qlmstd::CStoreKey entry = section.Open(key, true);
  if (!entry) {
    return;
  }
  WriteString(entry, "Name", map.name);
  WriteInt(entry, "RemotePort", map.remote_port);
  WriteInt(entry, "OutPort", map.out_port);
  WriteInt(entry, "ClientPort", map.client_port);
  WriteFlag(entry, "Enable", map.enable);
  WriteFlag(entry, "BiUDP", map.bi_udp);
  WriteString(entry, "RemoteServer", map.remote_server);
  WriteString(entry, "Rule", map.rule);
}

void LoadMaps(std::vector<PortMapSettings>& maps) {
  qlmstd::CStoreKey section = qlmstd::CQlmstd::GetAppSectionKey(kSectionPortMap);
  if (!section) {
    return;
  }
  std::string name;
  for (std::string key_name : SubKeyNames(section)) {
    qlmstd::CStoreKey entry = section.Open(key_name, false);
    if (!entry) {
      continue;
    }
    ReadString(entry, "Name", &name);
    key_name = key_name.substr(0, kPortMapNameMax);
    const size_t slash = key_name.find('/');
    const std::string listener = key_name.substr(0, slash);
    const std::string protocol = slash == std::string::npos ? "tcp" : key_name.substr(slash + 1);
    auto it = std::find_if(maps.begin(), maps.end(),
                           [&](const PortMapSettings& m) { return m.name == name; });
    if (it == maps.end()) {
      maps.push_back(LoadMapEntry(entry, name, protocol));
      it = maps.end() - 1;
    }
    it->listeners.push_back(listener);
  }
}

}  // namespace

void ExchangePortMaps(std::vector<PortMapSettings>& maps, ConfigDirection direction) {
  if (direction == ConfigDirection::kLoad) {
    maps.clear();
    LoadMaps(maps);
    return;
  }
  SaveSectionInTransaction([&] {
    qlmstd::CQlmstd::WriteRegProfileString(kSectionPortMap, nullptr, nullptr);
    qlmstd::CStoreKey section = qlmstd::CQlmstd::GetAppSectionKey(kSectionPortMap);
    if (!section) {
      return false;
    }
    for (const PortMapSettings& map : maps) {
      for (const std::string& listener : map.listeners) {
        SaveMapEntry(section, map, listener);
      }
    }
    return true;
  });
}

}  // namespace qlm::engine
