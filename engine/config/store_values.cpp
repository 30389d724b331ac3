// Typed value access for the configuration records.
#include "engine/config/store_values.h"

#include "qlmstd/store_transaction.h"

namespace qlm::engine {

namespace {
constexpr size_t kTextBuffer = 256;
}

uint32_t ReadInt(const qlmstd::CStoreKey& key, const char* name) { return qlmstd::CQlmstd::GetRegInt(key, name); }

uint32_t ReadFlag(const qlmstd::CStoreKey& key, const char* name, uint32_t default_value) {
  auto value = key.Query(name);
  if (!value || value->data.empty()) {
    return default_value;
  }
  if (value->type == qlmstd::ValueType::kDword) {
    return qlmstd::CQlmstd::GetRegInt(key, name) != 0 ? 1 : 0;
  }
  return value->data[0];
}

void ReadString(const qlmstd::CStoreKey& key, const char* name, std::string* text) {
  char buffer[kTextBuffer];
  if (qlmstd::CQlmstd::GetRegString(key, name, buffer, sizeof buffer)) {
    *text = buffer;
  }
}

void WriteInt(const qlmstd::CStoreKey& key, const char* name, uint32_t value) {
  key.SetDword(name, value);
}

void WriteFlag(const qlmstd::CStoreKey& key, const char* name, uint32_t value) {
  const uint8_t byte = static_cast<uint8_t>(value);
  qlmstd::CQlmstd::WriteRegBinary(key, name, &byte, 1);
}

void WriteString(const qlmstd::CStoreKey& key, const char* name, const std::string& text) {
  key.SetString(name, text);
}

bool SaveSectionInTransaction(const std::function<bool()>& write) {
  qlmstd::CStoreTransaction transaction;
  if (!transaction.Active() || !write()) {
    return false;
  }
  return transaction.Commit();
}

uint32_t ProfileInt(const char* section, const char* name, uint32_t default_value) {
  return qlmstd::CQlmstd::GetRegProfileInt(section, name, default_value);
}

std::string ProfileString(const char* section, const char* name, const std::string& default_value) {
  char buffer[kTextBuffer];
  const char* text = qlmstd::CQlmstd::GetRegProfileString(section, name, default_value.c_str(), buffer,
                                                  sizeof buffer);
  return text ? std::string(text) : std::string();
}

std::vector<std::string> SubKeyNames(const qlmstd::CStoreKey& key) {
  std::vector<std::string> names;
  // Bounded, so a store changed under us cannot make the loop run for ever.
  for (uint32_t index = 0; index < 1000000; ++index) {
    auto name = key.EnumKey(index);
    if (!name) {
      break;
    }
    names.push_back(*name);
  }
  return names;
}

}  // namespace qlm::engine
