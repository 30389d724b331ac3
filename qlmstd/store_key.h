// An open key of the configuration store: the registry's key handle. A key
// is a row of a tree below two top keys (local machine, current user); its
// values are typed (string, 32-bit integer, binary). Key and value names
// compare case-insensitively and subkeys enumerate in that name order.
// A default-constructed key is the null key; every operation on it fails.
// Keys close themselves; each holds its own store connection unless the
// thread is inside a CStoreTransaction, whose connection it then shares.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qlm::qlmstd {

class CStoreConnection;

enum class ValueType : uint32_t { kString = 1, kBinary = 3, kDword = 4 };

struct StoreValue {
  ValueType type = ValueType::kString;
  std::vector<uint8_t> data;  // a string keeps its terminating zero
};

// Platform status codes of the registry, returned by DeleteSubKey.
inline constexpr long kStatusSuccess = 0;
inline constexpr long kStatusFileNotFound = 2;
inline constexpr long kStatusAccessDenied = 5;
inline constexpr long kStatusInvalidHandle = 6;

class CStoreKey {
 public:
  enum class Top { kLocalMachine, kCurrentUser };

  CStoreKey() = default;  // the null key
  ~CStoreKey();
  CStoreKey(CStoreKey&&) noexcept;
  CStoreKey& operator=(CStoreKey&&) noexcept;
  CStoreKey(const CStoreKey&) = delete;
  CStoreKey& operator=(const CStoreKey&) = delete;

  explicit operator bool() const { return id_ != 0; }
  void Close();

  // Opens `path` ("A\B\C", empty for the top key itself) below a top key;
  // `create` makes missing levels. Null key when the store cannot be opened
  // or a level is missing and not created.
  static CStoreKey OpenTop(Top top, const std::string& path, bool create);

  // Subkey of this key by path; null key when missing and not created.
  CStoreKey Open(const std::string& path, bool create) const;

  // The subkey name at `index` in case-insensitive name order; nullopt past
  // the end or on the null key.
  std::optional<std::string> EnumKey(uint32_t index) const;
  // The value at `index` in case-insensitive name order.
  std::optional<std::pair<std::string, StoreValue>> EnumValue(uint32_t index) const;

  std::optional<StoreValue> Query(const std::string& name) const;
  bool Set(const std::string& name, const StoreValue& value) const;
  bool SetString(const std::string& name, const std::string& text) const;
  bool SetDword(const std::string& name, uint32_t value) const;
  bool SetBinary(const std::string& name, const uint8_t* bytes, size_t length) const;
  // false when the value did not exist.
  bool DeleteValue(const std::string& name) const;
  bool HasSubKey(const std::string& name) const;
  // Deletes the direct subkey `name` with everything below it.
  long DeleteTree(const std::string& name) const;
  // This key's full path below its top key.
  std::string Path() const;

 private:
  CStoreKey(std::shared_ptr<CStoreConnection> connection, int64_t id);

  std::shared_ptr<CStoreConnection> connection_;
  int64_t id_ = 0;
};

}  // namespace qlm::qlmstd
