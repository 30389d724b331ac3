// Loading and saving the "General" section.
#include "engine/config/general_settings.h"

#include "engine/config/store_values.h"

namespace qlm::engine {

namespace {

// The integer values of the section with their members, in store order.
struct IntValue {
  const char* name;
  uint32_t GeneralSettings::*member;
};
constexpr IntValue kIntValues[] = {
    {"UseDefaultIP", &GeneralSettings::UseDefaultIP},
    {"UseDialUp", &GeneralSettings::UseDialUp},
    {"DialUpManaged", &GeneralSettings::DialUpManaged},
    {"AutoLoad", &GeneralSettings::AutoLoad},
    {"AutoRun", &GeneralSettings::AutoRun},
    {"AutoUpdate", &GeneralSettings::AutoUpdate},
    {"DialOnControl", &GeneralSettings::DialOnControl},
    {"AutoConnect", &GeneralSettings::AutoConnect},
    {"NoDNSAutoConnect", &GeneralSettings::NoDNSAutoConnect},
    {"Disconnect", &GeneralSettings::Disconnect},
    {"DisconnectIdle", &GeneralSettings::DisconnectIdle},
    {"DisconnectIdleTime", &GeneralSettings::DisconnectIdleTime},
    {"KeepAliveIdle", &GeneralSettings::KeepAliveIdle},
    {"KeepAliveIdleTime", &GeneralSettings::KeepAliveIdleTime},
};

struct StringValue {
  const char* name;
  std::string GeneralSettings::*member;
};
constexpr StringValue kStringValues[] = {
    {"DefaultIP", &GeneralSettings::DefaultIP},
    {"DialUpProfile", &GeneralSettings::DialUpProfile},
    {"DialUpUserId", &GeneralSettings::DialUpUserId},
    {"DialUpPasswd", &GeneralSettings::DialUpPasswd},
};

// The operating system's dial-up flags and the manager's start entry follow
// the saved section.
void ApplyDialUpFlags(const GeneralSettings& settings) {
  if (settings.DialUpManaged) {
    qlmstd::CQlmstd::EnableAutodial(false);
    qlmstd::CQlmstd::SetAutoIdleDisconnect(settings.DisconnectIdle != 0,
                                   static_cast<uint8_t>(settings.DisconnectIdleTime & 0xFF));
  } else {
    qlmstd::CQlmstd::EnableAutodial(settings.UseDialUp != 0);
  }
  qlmstd::CQlmstd::EnableAutoLoad(settings.AutoLoad != 0);
}

}  // namespace

void ExchangeGeneral(GeneralSettings& settings, ConfigDirection direction) {
  if (direction == ConfigDirection::kLoad) {
    const GeneralSettings defaults;
    for (const auto& value : kIntValues) {
      settings.*value.member = ProfileInt(kSectionGeneral, value.name, defaults.*value.member);
    }
    for (const auto& value : kStringValues) {
      settings.*value.member = ProfileString(kSectionGeneral, value.name, defaults.*value.member);
    }
    return;
  }
  for (const auto& value : kIntValues) {
    qlmstd::CQlmstd::WriteRegProfileInt(kSectionGeneral, value.name,
                                static_cast<int>(settings.*value.member));
  }
  for (const auto& value : kStringValues) {
    qlmstd::CQlmstd::WriteRegProfileString(kSectionGeneral, value.name,
                                   (settings.*value.member).c_str());
  }
  ApplyDialUpFlags(settings);
}

}  // namespace qlm::engine
