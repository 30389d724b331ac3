// qlmstd: the one way both programs reach the configuration store, control the
// engine's service, keep the automatic-start entries and read or set the
// dial-up flags. Every function is stateless: it opens what it needs, does its
// work and closes it again; no function throws or shows a message: failures
// are false, null, default or negative results.
//
// The store keeps the registry's model in one SQLite file ($QUILLMAR_STORE,
// else /var/lib/quillmar/quillmar.db): keys in a tree, typed values (string,
// 32-bit integer, binary), key and value names compared case-insensitively.
// The product root (Kestrela\Quillmar\2.6) is only opened here, never created:
// `qlmreg init` is the installer's step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qlm {

inline constexpr const char* kMakerName = "Kestrela";
inline constexpr const char* kProductName = "Quillmar";
inline constexpr const char* kVersionKeyName = "2.6";
inline constexpr const char* kServiceName = "QuillmarService";
inline constexpr const char* kServiceDisplayName = "Quillmar Service";

// An open key of the store: its path below the store's top, levels joined by
// "\" (the product root is "SOFTWARE\Kestrela\Quillmar\2.6" below
// "HKEY_LOCAL_MACHINE"). Closed by destroying it.
struct CRegKey {
  std::string path;
};
using RegKey = std::unique_ptr<CRegKey>;

class CQlmstd {
 public:
  // Product store.
  static RegKey GetAppKey(const char* maker, const char* product);
  static RegKey GetAppSectionKey(const char* section);
  static RegKey GetAppSubSectionKey(const char* section, const char* subsection);
  static bool GetAppKeyValue(const char* name, char* buffer, size_t size);
  static bool WriteAppKeyStringValue(const char* name, const char* text);
  static bool GetAppInstallDir(char* buffer, size_t size);
  static unsigned GetRegProfileInt(const char* section, const char* name, unsigned default_value);
  // The buffer when the value exists; otherwise `default_value` itself (may be
  // null), the buffer untouched.
  static const char* GetRegProfileString(const char* section, const char* name,
                                         const char* default_value, char* buffer, size_t size);
  static bool WriteRegProfileInt(const char* section, const char* name, int value);
  // text null: delete the subkey `name` (else the value); name null: delete
  // the whole section.
  static bool WriteRegProfileString(const char* section, const char* name, const char* text);
  static unsigned GetRegInt(const CRegKey* key, const char* name);
  static bool GetRegString(const CRegKey* key, const char* name, char* buffer, size_t size);
  // The bytes of a binary value; nullopt when missing or not binary.
  static std::optional<std::vector<uint8_t>> GetRegBinary(const CRegKey* key, const char* name);
  static bool WriteRegBinary(const CRegKey* key, const char* name, const uint8_t* bytes,
                             size_t length);
  // Deletes everything below `key`, closes it, then deletes `name` under
  // `parent`; 0 on success.
  static int DeleteSubKey(const CRegKey* parent, RegKey key, const char* name);

  // Key-level calls the configuration model needs beside the ones above (the
  // registry's own RegEnumKey / RegOpenKey / RegCreateKey / RegSetValue).
  // EnumSubKey: the name of subkey `index` in case-insensitive name order;
  // false past the last.
  static bool EnumSubKey(const CRegKey* key, unsigned index, std::string* name);
  static RegKey OpenSubKey(const CRegKey* key, const char* name);    // existing only
  static RegKey CreateSubKey(const CRegKey* key, const char* name);  // created as needed
  static bool WriteRegString(const CRegKey* key, const char* name, const char* text);
  static bool WriteRegInt(const CRegKey* key, const char* name, uint32_t value);
  static bool ValueExists(const CRegKey* key, const char* name);

  // Runs `body` as one transaction of the store: every store call the calling
  // thread makes inside it joins it; it commits when `body` returns true and
  // rolls back otherwise (or when `body` throws). A crash in between leaves the
  // store as it was before. Returns whether it committed.
  static bool InTransaction(const std::function<bool()>& body);

  // Service control.
  static bool ServiceInstall();
  static bool ServiceRemove();
  static bool ServiceStart();
  static bool ServiceStop();
  // 1 running, 0 any other state, -1 not installed / not queryable, -2 no
  // service manager.
  static int IsServiceRunning();
  static bool ServiceAutoRunConfig(int start_type);
  static bool InstallWin32Service(bool enable);
  static void EnableAutoLoad(bool enable);

  // Internet dial-up settings of the current user (first byte of each value;
  // a missing value is never created).
  static int GetAutodial();
  static void EnableAutodial(bool enable);
  static int GetAutoConnect();
  static void EnableAutoConnect(bool enable);
  static int GetDisconnectIdleTime(uint8_t* minutes);
  static void SetAutoIdleDisconnect(bool enable, uint8_t minutes);
};

// Service start types for ServiceAutoRunConfig.
inline constexpr int kServiceAutoStart = 2;
inline constexpr int kServiceDemandStart = 3;

char* GetLastErrorText(char* buffer, size_t size);
int strfind(const char* text, const char* set, int* position, int flag);

}  // namespace qlm
