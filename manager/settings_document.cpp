// Loading and saving the settings the pages edit.
#include "manager/settings_document.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/config/store_values.h"
#include "net/host_addresses.h"
#include "qlmstd/qlmstd.h"

namespace qlm::manager {

namespace {

using qlmstd::CQlmstd;

constexpr char kLoopback[] = "127.0.0.1";
constexpr char kAutostartName[] = "quillmar.desktop";
constexpr char kManagerProgram[] = "quillmar";
constexpr uint32_t kNotStored = 0xFFFFFFFFu;
constexpr uint32_t kDefaultIdleMinutes = 20;

// The system's automatic-dial flag, when the system has one.
std::optional<int> SystemAutodial() {
  qlmstd::CStoreKey key = qlmstd::CStoreKey::OpenTop(qlmstd::CStoreKey::Top::kCurrentUser,
                                                     qlmstd::kInternetSettingsKey, false);
  if (!key || !key.Query("EnableAutodial")) {
    return std::nullopt;
  }
  return CQlmstd::GetAutodial();
}

bool StoredInGeneral(const char* name) {
  return CQlmstd::GetRegProfileInt(engine::kSectionGeneral, name, kNotStored) != kNotStored;
}

}  // namespace

std::string DefaultAutostartFile() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config != nullptr && *config != '\0') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home != nullptr ? home : "") + "/.config";
  }
  return folder + "/autostart/" + kAutostartName;
}

std::vector<std::string> ProxyAddressChoices() {
  std::vector<std::string> choices;
  for (const net::InterfaceAddress& a : net::ListInterfaceAddresses()) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a.address, text, sizeof text);
    if (std::string(text) != kLoopback &&
        std::find(choices.begin(), choices.end(), text) == choices.end()) {
      choices.push_back(text);
    }
  }
  choices.push_back(kLoopback);
  return choices;
}

CSettingsDocument::CSettingsDocument(SettingsDocumentOptions options)
    : options_(std::move(options)) {
  if (!options_.dial_up_available) {
    options_.dial_up_available = [] { return false; };
  }
  if (!options_.host_address) {
    options_.host_address = [] { return net::HostFirstAddress(); };
  }
  if (options_.autostart_file.empty()) {
    options_.autostart_file = DefaultAutostartFile();
  }
}

void CSettingsDocument::Load() {
  LoadGeneral();
  engine::ExchangeDaemons(daemons, engine::ConfigDirection::kLoad, options_.host_address());
  engine::ExchangePortMaps(port_maps, engine::ConfigDirection::kLoad);
  engine::ExchangeActivity(activity, engine::ConfigDirection::kLoad);
  engine::ExchangeLog(log, engine::ConfigDirection::kLoad);
}

void CSettingsDocument::LoadGeneral() {
  engine::ExchangeGeneral(general, engine::ConfigDirection::kLoad);
  if (general.DefaultIP.empty()) {
    general.DefaultIP = options_.host_address();
  }
  // Idle hang-up defaults follow the system's own idle-disconnect setting.
  if (!StoredInGeneral("DisconnectIdle") || !StoredInGeneral("DisconnectIdleTime")) {
    uint8_t minutes = 0;
    const int enabled = CQlmstd::GetDisconnectIdleTime(&minutes);
    if (!StoredInGeneral("DisconnectIdle")) {
      general.DisconnectIdle = enabled != 0 ? 1 : 0;
    }
    if (!StoredInGeneral("DisconnectIdleTime")) {
      general.DisconnectIdleTime = minutes != 0 ? minutes : kDefaultIdleMinutes;
    }
  }
  // Left to the system, the line follows the system's automatic-dial flag.
  // A system without that flag has nothing to follow: the stored choice stays.
  if (general.DialUpManaged == 0) {
    const std::optional<int> autodial = SystemAutodial();
    if (autodial && (*autodial != 0) != (general.UseDialUp != 0)) {
      general.UseDialUp = *autodial != 0 ? 1 : 0;
      CQlmstd::WriteRegProfileInt(engine::kSectionGeneral, "UseDialUp", general.UseDialUp);
    }
  }
  if (!options_.dial_up_available()) {
    general.UseDialUp = 0;
  }
}

bool CSettingsDocument::Save() {
  bool all = SaveActivity();
  all = SaveGeneral() && all;
  all = SaveDaemons() && all;
  all = SavePortMaps() && all;
  all = SaveLog() && all;
  return all;
}

bool CSettingsDocument::SaveGeneral() {
  const bool saved = engine::SaveSectionInTransaction([this] {
    engine::ExchangeGeneral(general, engine::ConfigDirection::kSave);
    return true;
  });
  WriteAutostart();
  return saved;
}

bool CSettingsDocument::SaveDaemons() {
  engine::ExchangeDaemons(daemons, engine::ConfigDirection::kSave, options_.host_address());
  return true;
}

bool CSettingsDocument::SavePortMaps() {
  engine::ExchangePortMaps(port_maps, engine::ConfigDirection::kSave);
  return true;
}

bool CSettingsDocument::SaveActivity() {
  return engine::SaveSectionInTransaction([this] {
    engine::ExchangeActivity(activity, engine::ConfigDirection::kSave);
    return true;
  });
}

bool CSettingsDocument::SaveLog() {
  return engine::SaveSectionInTransaction([this] {
    engine::ExchangeLog(log, engine::ConfigDirection::kSave);
    return true;
  });
}

void CSettingsDocument::WriteAutostart() const {
  const std::filesystem::path file(options_.autostart_file);
  std::error_code error;
  if (general.AutoLoad == 0) {
    std::filesystem::remove(file, error);
    return;
  }
  std::string program = options_.manager_program;
  if (program.empty()) {
    char dir[256] = {};
    program = CQlmstd::GetAppInstallDir(dir, sizeof dir) && dir[0] != '\0'
                  ? std::string(dir) + "/" + kManagerProgram
                  : std::string(kManagerProgram);
  }
  std::filesystem::create_directories(file.parent_path(), error);
  std::ofstream out(file, std::ios::trunc);
  out << "[Desktop Entry]\nType=Application\nName=Quillmar Manager\n"
      << "Comment=The Quillmar proxy's manager in the notification area\n"
      << "Exec=\"" << program << "\"\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
}

}  // namespace qlm::manager
