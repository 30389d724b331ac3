// Loading and saving the "Activity" and "Log" sections.
#include <cstdio>

#include "engine/config/activity_settings.h"
#include "engine/config/log_settings.h"
#include "engine/config/store_values.h"

namespace qlm::engine {

void ExchangeActivity(ActivitySettings& settings, ConfigDirection direction) {
  const ActivitySettings defaults;
  if (direction == ConfigDirection::kLoad) {
    settings.Enable = ProfileInt(kSectionActivity, "Enable", defaults.Enable);
    settings.MaxConnections = ProfileInt(kSectionActivity, "MaxConnections", defaults.MaxConnections);
    return;
  }
  qlmstd::CQlmstd::WriteRegProfileInt(kSectionActivity, "Enable", static_cast<int>(settings.Enable));
  qlmstd::CQlmstd::WriteRegProfileInt(kSectionActivity, "MaxConnections",
                              static_cast<int>(settings.MaxConnections));
}

std::string DefaultLogFileName(const std::string& install_dir, std::time_t start) {
  std::tm local{};
  localtime_r(&start, &local);
  char date[16];
  std::strftime(date, sizeof date, "%m%d%Y", &local);
  const std::string file = std::string(date) + ".log";
  return install_dir.empty() ? file : install_dir + "/" + file;
}

void ExchangeLog(LogSettings& settings, ConfigDirection direction, std::time_t start) {
  const LogSettings defaults;
  if (direction == ConfigDirection::kLoad) {
    char install_dir[256];
    if (!qlmstd::CQlmstd::GetAppInstallDir(install_dir, sizeof install_dir)) {
      install_dir[0] = '\0';
    }
    settings.FileName =
        ProfileString(kSectionLog, "FileName", DefaultLogFileName(install_dir, start));
    settings.Enable = ProfileInt(kSectionLog, "Enable", defaults.Enable);
    settings.MaxLines = ProfileInt(kSectionLog, "MaxLines", defaults.MaxLines);
    return;
  }
  qlmstd::CQlmstd::WriteRegProfileString(kSectionLog, "FileName", settings.FileName.c_str());
  qlmstd::CQlmstd::WriteRegProfileInt(kSectionLog, "Enable", static_cast<int>(settings.Enable));
  qlmstd::CQlmstd::WriteRegProfileInt(kSectionLog, "MaxLines", static_cast<int>(settings.MaxLines));
}

}  // namespace qlm::engine
