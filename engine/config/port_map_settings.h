// The "PortMap" section: one record per mapping name with its listener texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/config/config_direction.h"

namespace qlm::engine {

struct PortMapSettings {
  std::string rule;
  uint32_t bi_udp = 0;
  std::string name;
  std::vector<std::string> listeners;  // "ip:port" texts in load order
  std::string remote_server;
  uint32_t remote_port = 0;
  uint32_t out_port = 0;
  std::string protocol = "tcp";
  uint32_t client_port = 0;
  uint32_t enable = 0;

  bool operator==(const PortMapSettings&) const = default;
};

// Listener texts are cut to this many characters when saved (before the "/").
inline constexpr size_t kPortMapListenerMax = 59;

// Load: the stored mappings in enumeration order. Save: the whole section is
// deleted and rewritten in one transaction.
void ExchangePortMaps(std::vector<PortMapSettings>& maps, ConfigDirection direction);

}  // namespace qlm::engine
