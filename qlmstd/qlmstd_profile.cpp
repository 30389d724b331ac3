// The product store part of CQlmstd: the product root, its sections and the
// per-section values, read with defaults and written on demand.
#include <cstring>
#include <string>

#include "qlmstd/qlmstd.h"

namespace qlm::qlmstd {
namespace {

std::string RootPath(const char* maker, const char* product) {
  return std::string("SOFTWARE\\") + maker + "\\" + product + "\\" + kVersionKey;
}

CStoreKey OpenRoot() { return CQlmstd::GetAppKey(kMakerName, kProductName); }

// Copies at most size-1 characters of a stored string (up to its first zero)
// and terminates the buffer.
void CopyOut(const std::vector<uint8_t>& data, char* buffer, uint32_t size) {
  if (!buffer || size == 0) {
    return;
  }
  size_t length = 0;
  while (length < data.size() && data[length] != 0) {
    ++length;
  }
  length = std::min<size_t>(length, size - 1);
  std::memcpy(buffer, data.data(), length);
  buffer[length] = '\0';
}

}  // namespace

CStoreKey CQlmstd::GetAppKey(const char* maker, const char* product) {
  if (!maker || !product) {
    return {};
  }
  return CStoreKey::OpenTop(CStoreKey::Top::kLocalMachine, RootPath(maker, product), false);
}

CStoreKey CQlmstd::GetAppSectionKey(const char* section) {
  CStoreKey root = OpenRoot();
  if (!root || !section || !*section) {
    return {};
  }
  return root.Open(section, true);
}

CStoreKey CQlmstd::GetAppSubSectionKey(const char* section, const char* subsection) {
  CStoreKey key = GetAppSectionKey(section);
  if (!key || !subsection || !*subsection) {
    return {};
  }
  return key.Open(subsection, true);
}

bool CQlmstd::GetAppKeyValue(const char* name, char* buffer, uint32_t size) {
  CStoreKey root = OpenRoot();
  if (!root || !name) {
    return false;
  }
  auto value = root.Query(name);
  if (!value) {
    return false;
  }
  CopyOut(value->data, buffer, size);
  return true;
}

bool CQlmstd::WriteAppKeyStringValue(const char* name, const char* text) {
  CStoreKey root = OpenRoot();
  return root && name && text && root.SetString(name, text);
}

bool CQlmstd::GetAppInstallDir(char* buffer, uint32_t size) {
  return GetAppKeyValue(kInstallDirValue, buffer, size);
}

uint32_t CQlmstd::GetRegProfileInt(const char* section, const char* name, uint32_t def) {
  CStoreKey key = GetAppSectionKey(section);
  if (!key || !name) {
    return def;
  }
  auto value = key.Query(name);
  // Four bytes are read whatever the stored type; a shorter value cannot fill them.
  if (!value || value->data.size() < 4) {
    return def;
  }
  uint32_t result = 0;
  std::memcpy(&result, value->data.data(), 4);
  return result;
}

const char* CQlmstd::GetRegProfileString(const char* section, const char* name, const char* def,
                                         char* buffer, uint32_t size) {
  CStoreKey key = GetAppSectionKey(section);
  if (!key || !name || !buffer || size == 0) {
    return def;
  }
  auto value = key.Query(name);
  if (!value) {
    return def;
  }
  CopyOut(value->data, buffer, size);
  return buffer;
}

bool CQlmstd::WriteRegProfileInt(const char* section, const char* name, uint32_t value) {
  CStoreKey key = GetAppSectionKey(section);
  return key && name && key.SetDword(name, value);
}

bool CQlmstd::WriteRegProfileString(const char* section, const char* name, const char* text) {
  if (!name) {
    CStoreKey root = OpenRoot();
    return root && section && *section && root.DeleteTree(section) == kStatusSuccess;
  }
  CStoreKey key = GetAppSectionKey(section);
  if (!key) {
    return false;
  }
  if (!text) {
    if (key.HasSubKey(name)) {
      return key.DeleteTree(name) == kStatusSuccess;
    }
    return key.DeleteValue(name);
  }
  return key.SetString(name, text);
}

uint32_t CQlmstd::GetRegInt(const CStoreKey& key, const char* name) {
  if (!key || !name) {
    return 0;
  }
  auto value = key.Query(name);
  if (!value || value->data.size() < 4) {
    return 0;
  }
  uint32_t result = 0;
  std::memcpy(&result, value->data.data(), 4);
  return result;
}

bool CQlmstd::GetRegString(const CStoreKey& key, const char* name, char* buffer, uint32_t size) {
  if (!key || !name) {
    return false;
  }
  auto value = key.Query(name);
  if (!value) {
    return false;
  }
  CopyOut(value->data, buffer, size);
  return true;
}

std::unique_ptr<uint8_t[]> CQlmstd::GetRegBinary(const CStoreKey& key, const char* name,
                                                 uint32_t& size) {
  size = 0;
  if (!key || !name) {
    return nullptr;
  }
  auto value = key.Query(name);
  if (!value || value->type != ValueType::kBinary) {
    return nullptr;
  }
  auto copy = std::make_unique<uint8_t[]>(std::max<size_t>(value->data.size(), 1));
  std::memcpy(copy.get(), value->data.data(), value->data.size());
  size = static_cast<uint32_t>(value->data.size());
  return copy;
}

bool CQlmstd::WriteRegBinary(const CStoreKey& key, const char* name, const uint8_t* bytes,
                             uint32_t length) {
  return key && name && (bytes || length == 0) && key.SetBinary(name, bytes, length);
}

long CQlmstd::DeleteSubKey(const CStoreKey& parent, CStoreKey key, const char* name) {
  // Children first, always at index 0 until none is left; a child that
  // cannot be deleted ends the loop instead of being tried forever.
  for (int guard = 0; key && guard < 1000000; ++guard) {
    auto child = key.EnumKey(0);
    if (!child || key.DeleteTree(*child) != kStatusSuccess) {
      break;
    }
  }
  key.Close();
  if (!parent || !name) {
    return kStatusInvalidHandle;
  }
  return parent.DeleteTree(name);
}

}  // namespace qlm::qlmstd
