// The manager's reads of the configuration store.
#include "manager/manager_settings.h"

#include <cstdlib>

#include "link/msg_wire.h"
#include "qlmstd/qlmstd.h"

namespace qlm::manager {

namespace {

using qlmstd::CQlmstd;

constexpr char kGeneral[] = "General";
constexpr char kLog[] = "Log";
constexpr char kDefaultRunDir[] = "/run/quillmar";
// Longest root value read (the installer's folder limit is 224).
constexpr uint32_t kValueSize = 1024;

std::string RootValue(const char* name) {
  char buffer[kValueSize] = {};
  return CQlmstd::GetAppKeyValue(name, buffer, sizeof buffer) ? std::string(buffer) : "";
}

bool Flag(const char* section, const char* name, uint32_t def) {
  return CQlmstd::GetRegProfileInt(section, name, def) != 0;
}

std::string Text(const char* section, const char* name) {
  char buffer[kValueSize] = {};
  const char* text = CQlmstd::GetRegProfileString(section, name, "", buffer, sizeof buffer);
  return text != nullptr ? text : "";
}

}  // namespace

std::string ReadDefaultIp() {
  char buffer[kValueSize] = {};
  const char* text = CQlmstd::GetRegProfileString(kGeneral, "DefaultIP", "", buffer, sizeof buffer);
  return text != nullptr ? text : "";
}

std::string ReadInstallDir() { return RootValue(qlmstd::kInstallDirValue); }

ManagerSettings ReadManagerSettings() {
  ManagerSettings s;
  s.default_ip = ReadDefaultIp();
  s.auto_load = Flag(kGeneral, "AutoLoad", 0);
  s.auto_run = Flag(kGeneral, "AutoRun", 0);
  s.use_dial_up = Flag(kGeneral, "UseDialUp", 0);
  s.dial_up_managed = Flag(kGeneral, "DialUpManaged", 0);
  s.dial_up_profile = Text(kGeneral, "DialUpProfile");
  s.dial_up_user = Text(kGeneral, "DialUpUserId");
  s.dial_up_password = Text(kGeneral, "DialUpPasswd");
  s.disconnect_on_exit = Flag(kGeneral, "Disconnect", 1);
  s.log_enable = Flag(kLog, "Enable", 0);
  s.install_dir = ReadInstallDir();
  s.support_page = RootValue(kSupportPageValue);
  s.feedback_address = RootValue(kFeedbackAddressValue);
  return s;
}

uint16_t ManagerPortFromEnvironment() {
  const char* text = std::getenv("QUILLMAR_MANAGER_PORT");
  if (text != nullptr) {
    char* end = nullptr;
    const long port = std::strtol(text, &end, 10);
    if (end != text && *end == '\0' && port > 0 && port < 65536) {
      return static_cast<uint16_t>(port);
    }
  }
  return link::kManagerPort;
}

std::string ManagerRunDir() {
  const char* dir = std::getenv("QUILLMAR_RUNDIR");
  return dir != nullptr && *dir != '\0' ? dir : kDefaultRunDir;
}

}  // namespace qlm::manager
