// The automatic-start entries (Run, RunServices) and the Internet dial-up
// flags of CQlmstd. Both live as values in the store: they record the
// choice and report it back; nothing outside the program reads them.
#include <cstdio>

#include "qlmstd/qlmstd.h"
#include "qlmstd/service_control.h"

namespace qlm::qlmstd {
namespace {

// Writes or deletes the entry `name` of `key_path` so that it exists exactly
// when `enable`; false only when the install folder or the key cannot be opened.
bool MaintainEntry(const char* key_path, const char* name, const char* suffix, bool enable) {
  char dir[256] = {};
  if (!CQlmstd::GetAppInstallDir(dir, 224)) {
    return false;
  }
  CStoreKey key = CStoreKey::OpenTop(CStoreKey::Top::kLocalMachine, key_path, true);
  if (!key) {
    return false;
  }
  bool present = key.Query(name).has_value();
  if (enable && !present) {
    char path[256];
    std::snprintf(path, sizeof path, "%s/%s%s", dir, name, suffix);
    key.SetString(name, path);
  } else if (!enable && present) {
    key.DeleteValue(name);
  }
  return true;
}

CStoreKey InternetSettings() {
  return CStoreKey::OpenTop(CStoreKey::Top::kCurrentUser, kInternetSettingsKey, false);
}

int FirstByte(const char* name) {
  auto value = InternetSettings().Query(name);
  return value && !value->data.empty() ? value->data[0] : 0;
}

// Sets the first byte of an existing value; a missing value stays missing.
void SetFirstByte(const char* name, uint8_t byte, bool always_write) {
  CStoreKey key = InternetSettings();
  auto value = key.Query(name);
  if (!value || value->data.empty()) {
    return;
  }
  if (value->data[0] == byte && !always_write) {
    return;
  }
  value->data[0] = byte;
  key.Set(name, *value);
}

}  // namespace

bool CQlmstd::InstallWin32Service(bool enable) {
  return MaintainEntry(kRunServicesKey, kEngineProgram, " -win32", enable);
}

void CQlmstd::EnableAutoLoad(bool enable) {
  MaintainEntry(kRunKey, kManagerProgram, "", enable);
}

int CQlmstd::GetAutodial() { return FirstByte("EnableAutodial"); }

void CQlmstd::EnableAutodial(bool enable) { SetFirstByte("EnableAutodial", enable ? 1 : 0, false); }

int CQlmstd::GetAutoConnect() { return FirstByte("AutoConnect"); }

void CQlmstd::EnableAutoConnect(bool enable) { SetFirstByte("AutoConnect", enable ? 1 : 0, false); }

int CQlmstd::GetDisconnectIdleTime(uint8_t* minutes) {
  CStoreKey key = InternetSettings();
  auto time = key.Query("DisconnectIdleTime");
  if (minutes && time && !time->data.empty()) {
    *minutes = time->data[0];
  }
  auto enabled = key.Query("EnableAutodisconnect");
  return enabled && !enabled->data.empty() ? enabled->data[0] : 0;
}

void CQlmstd::SetAutoIdleDisconnect(bool enable, uint8_t minutes) {
  SetFirstByte("EnableAutodisconnect", enable ? 1 : 0, false);
  SetFirstByte("DisconnectIdleTime", minutes, true);
}

}  // namespace qlm::qlmstd
