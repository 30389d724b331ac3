// Reading the stored configuration into the engine's records and writing the
// records back. Each record has one operation with a direction: load reads
// the store (nothing fails: anything missing gives the defaults), save writes
// it (one transaction per call; false when the store cannot be written).
#pragma once

#include <ctime>
#include <string>

#include "engine/config/activity_settings.h"
#include "engine/config/general_settings.h"
#include "engine/config/log_settings.h"
#include "engine/config/port_map_settings.h"
#include "engine/config/protocol_settings.h"

namespace qlm::engine {

enum class ConfigDirection { kLoad, kSave };

// Section names of the store.
inline constexpr const char* kSectionGeneral = "General";
inline constexpr const char* kSectionDaemons = "Daemons";
inline constexpr const char* kSectionPortMap = "PortMap";
inline constexpr const char* kSectionActivity = "Activity";
inline constexpr const char* kSectionLog = "Log";
inline constexpr const char* kSectionDhcp = "DHCP";

// Longest listener text kept in a "Daemons" entry name, and in a "PortMap"
// entry name before its "/protocol".
inline constexpr size_t kDaemonEntryNameMax = 31;
inline constexpr size_t kPortMapListenerMax = 59;

// "General". Saving also sets the dial-up and log-on start flags from it.
bool ConfigGeneral(GeneralSettings& settings, ConfigDirection direction);

// "Daemons". Load empties `list`, reads every entry and adds the basic
// daemons missing from the store, each listening on `host_address` (the
// host's first address; FirstHostAddress() when empty). Save replaces the
// whole section.
bool ConfigDaemons(ProtocolList& list, ConfigDirection direction,
                   const std::string& host_address = {});

// "PortMap". Load empties `list` and reads every entry; save replaces the
// whole section.
bool ConfigPortMap(PortMapList& list, ConfigDirection direction);

// "Activity".
bool ConfigActivity(ActivitySettings& settings, ConfigDirection direction);

// "Log". `start` is the engine's start time, which names the default file.
bool ConfigLog(LogSettings& settings, ConfigDirection direction,
               std::time_t start = std::time(nullptr));

// The host's first IPv4 address by host-name lookup; "127.0.0.1" when the
// lookup fails.
std::string FirstHostAddress();

}  // namespace qlm::engine
