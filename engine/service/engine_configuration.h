// What the service body works from: the stored configuration, read once at
// start-up (General, Daemons, PortMap, Activity, Log, in that order) and kept
// unchanged while the engine runs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dialup/dial_up_settings.h"
#include "engine/config/general_settings.h"
#include "engine/service/listener_sources.h"

namespace qlm::engine {

struct EngineConfiguration {
  // General, as loaded (the protocols' setup is made from it).
  GeneralSettings general;
  ListenerAddressing addressing;  // UseDefaultIP, DefaultIP, host address
  dialup::DialUpSettings dial_up;
  bool auto_update = true;
  // Daemons and PortMap, in load order.
  std::vector<DaemonSource> daemons;
  std::vector<PortMapSource> port_maps;
  // Activity.
  bool activity_enable = false;
  uint32_t max_connections = 2000;
  // Log.
  bool log_enable = false;
  std::string log_file;
  uint32_t max_lines = 2000;

  // The loaded configuration records themselves, kept for the engine's life:
  // the listeners' settings copies are made from them.
  std::shared_ptr<const void> records;
};

// Reads the store through the configuration records; nothing in loading
// fails (a missing store gives the defaults and the basic daemons).
std::unique_ptr<EngineConfiguration> LoadEngineConfiguration();

}  // namespace qlm::engine
