// The "General" section: service address, dial-up and start-up switches.
#pragma once

#include <cstdint>
#include <string>

#include "engine/config/config_direction.h"

namespace qlm::engine {

struct GeneralSettings {
  uint32_t UseDefaultIP = 1;
  std::string DefaultIP;
  uint32_t UseDialUp = 0;
  uint32_t DialUpManaged = 0;
  uint32_t AutoLoad = 0;
  uint32_t AutoRun = 0;
  uint32_t AutoUpdate = 1;
  std::string DialUpProfile;
  std::string DialUpUserId;
  std::string DialUpPasswd;
  uint32_t DialOnControl = 1;
  uint32_t AutoConnect = 0;
  uint32_t NoDNSAutoConnect = 1;
  uint32_t Disconnect = 1;
  uint32_t DisconnectIdle = 0;
  uint32_t DisconnectIdleTime = 20;
  uint32_t KeepAliveIdle = 0;
  uint32_t KeepAliveIdleTime = 20;

  bool operator==(const GeneralSettings&) const = default;
};

// Load: read the section (missing values keep their defaults). Save: write
// every value, then let the operating system's dial-up flags and the
// manager's start entry follow.
void ExchangeGeneral(GeneralSettings& settings, ConfigDirection direction);

}  // namespace qlm::engine
