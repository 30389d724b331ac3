// The direction of a record's one load-or-save operation, and the store's
// fixed section names.
#pragma once

namespace qlm::engine {

enum class ConfigDirection { kLoad, kSave };

inline constexpr const char* kSectionGeneral = "General";
inline constexpr const char* kSectionDaemons = "Daemons";
inline constexpr const char* kSectionPortMap = "PortMap";
inline constexpr const char* kSectionActivity = "Activity";
inline constexpr const char* kSectionLog = "Log";
inline constexpr const char* kSectionDhcp = "DHCP";

}  // namespace qlm::engine
