// Typed value access for the configuration records.
#include "engine/config/store_values.h"

namespace qlm::engine {

namespace {
constexpr size_t kTextBuffer = 256;
}

uint32_t ReadInt(const CRegKey* key, const char* name) { return CQlmstd::GetRegInt(key, name); }

uint32_t ReadFlag(const CRegKey* key, const char* name, uint32_t default_value) {
  auto bytes = CQlmstd::GetRegBinary(key, name);
  if (bytes) {
    return bytes->empty() ? default_value : (*bytes)[0];
  }
  if (CQlmstd::ValueExists(key, name)) {
    return CQlmstd::GetRegInt(key, name) != 0 ? 1 : 0;
  }
  return default_value;
}

void ReadString(const CRegKey* key, const char* name, std::string* text) {
  char buffer[kTextBuffer];
  if (CQlmstd::GetRegString(key, name, buffer, sizeof buffer)) {
    *text = buffer;
  }
}

void WriteInt(const CRegKey* key, const char* name, uint32_t value) {
  CQlmstd::WriteRegInt(key, name, value);
}

void WriteFlag(const CRegKey* key, const char* name, uint32_t value) {
  const uint8_t byte = static_cast<uint8_t>(value);
  CQlmstd::WriteRegBinary(key, name, &byte, 1);
}

void WriteString(const CRegKey* key, const char* name, const std::string& text) {
  CQlmstd::WriteRegString(key, name, text.c_str());
}

uint32_t ProfileInt(const char* section, const char* name, uint32_t default_value) {
  return CQlmstd::GetRegProfileInt(section, name, default_value);
}

std::string ProfileString(const char* section, const char* name, const std::string& default_value) {
  char buffer[kTextBuffer];
  const char* text = CQlmstd::GetRegProfileString(section, name, default_value.c_str(), buffer,
                                                  sizeof buffer);
  return text ? std::string(text) : std::string();
}

std::vector<std::string> SubKeyNames(const CRegKey* key) {
  std::vector<std::string> names;
  std::string name;
  // Bounded: the store cannot hold more subkeys than this under one key in practice,
  // and a store changed under us must not make the loop run for ever.
  for (unsigned index = 0; index < 1000000 && CQlmstd::EnumSubKey(key, index, &name); ++index) {
    names.push_back(name);
  }
  return names;
}

}  // namespace qlm::engine
