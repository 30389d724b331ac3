// The one way the engine and the manager reach the configuration store, the
// engine's system service, the automatic-start entries and the Internet
// dial-up flags. Every function is stateless: it opens what it needs, does
// its work and closes it. Nothing throws; every failure is a false, null,
// default or negative result.
//
// The store keeps the registry's model in one SQLite file ($QUILLMAR_STORE,
// else /var/lib/quillmar/quillmar.db). The product root is only opened here,
// never created: `qlmreg init` is the installer's step.
#pragma once

#include <cstdint>
#include <memory>

#include "qlmstd/store_key.h"

namespace qlm::qlmstd {

// The product root: HKEY_LOCAL_MACHINE\SOFTWARE\<maker>\<product>\2.6.
inline constexpr const char* kMakerName = "Kestrela";
inline constexpr const char* kProductName = "Quillmar";
inline constexpr const char* kVersionKey = "2.6";
inline constexpr const char* kInstallDirValue = "InstallDir";

inline constexpr const char* kServiceName = "QuillmarService";
inline constexpr const char* kServiceDisplayName = "Quillmar Service";
inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunServicesKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
inline constexpr const char* kInternetSettingsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// Start types passed to ServiceAutoRunConfig.
inline constexpr uint32_t kServiceAutoStart = 2;
inline constexpr uint32_t kServiceDemandStart = 3;

class CQlmstd {
 public:
  CQlmstd() = default;
  CQlmstd(const CQlmstd&) = default;
  CQlmstd& operator=(const CQlmstd&) = default;
  virtual ~CQlmstd() = default;

  // Product store. Keys are closed by destroying them.
  static CStoreKey GetAppKey(const char* maker, const char* product);
  static CStoreKey GetAppSectionKey(const char* section);
  static CStoreKey GetAppSubSectionKey(const char* section, const char* subsection);
  static bool GetAppKeyValue(const char* name, char* buffer, uint32_t size);
  static bool WriteAppKeyStringValue(const char* name, const char* text);
  static bool GetAppInstallDir(char* buffer, uint32_t size);
  static uint32_t GetRegProfileInt(const char* section, const char* name, uint32_t def);
  // The buffer when the value exists, else `def` itself (buffer untouched).
  static const char* GetRegProfileString(const char* section, const char* name,
                                         const char* def, char* buffer, uint32_t size);
  static bool WriteRegProfileInt(const char* section, const char* name, uint32_t value);
  // name and text: write. text null: delete the subkey `name` if there is
  // one, else the value. name null: delete the whole section.
  static bool WriteRegProfileString(const char* section, const char* name, const char* text);
  static uint32_t GetRegInt(const CStoreKey& key, const char* name);
  static bool GetRegString(const CStoreKey& key, const char* name, char* buffer, uint32_t size);
  // A copy of a binary value and its size; null (size 0) when missing or not binary.
  static std::unique_ptr<uint8_t[]> GetRegBinary(const CStoreKey& key, const char* name,
                                                 uint32_t& size);
  static bool WriteRegBinary(const CStoreKey& key, const char* name, const uint8_t* bytes,
                             uint32_t length);
  // Deletes everything below `key`, closes it, then deletes `name` under
  // `parent`; the status of that last deletion (0 on success).
  static long DeleteSubKey(const CStoreKey& parent, CStoreKey key, const char* name);

  // Service control (systemd). false when the service manager or the
  // service cannot be reached.
  static bool ServiceInstall();
  static bool ServiceRemove();
  static bool ServiceStart();
  static bool ServiceStop();
  // 1 running, 0 other state, -1 service missing or not queryable,
  // -2 service manager unreachable.
  static int IsServiceRunning();
  static bool ServiceAutoRunConfig(uint32_t start_type);
  static bool InstallWin32Service(bool enable);
  static void EnableAutoLoad(bool enable);

  // Internet dial-up flags of the current user: the first byte of each
  // value; a missing value is never created.
  static int GetAutodial();
  static void EnableAutodial(bool enable);
  static int GetAutoConnect();
  static void EnableAutoConnect(bool enable);
  static int GetDisconnectIdleTime(uint8_t* minutes);
  static void SetAutoIdleDisconnect(bool enable, uint8_t minutes);
};

// The thread's last error as "text (0x%x)" in at most size-1 characters;
// empty when the system has no text for it.
char* GetLastErrorText(char* buffer, uint32_t size);

// flag 0: the index of the first character of `text` found in `set` into
// `position` and 1; else 0 with position = length of text.
int strfind(const char* text, const char* set, int* position, int flag);

}  // namespace qlm::qlmstd
