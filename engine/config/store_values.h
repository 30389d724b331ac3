// Typed reads and writes of one key's values, in the configuration model's
// reading rules: a missing integer gives 0, a missing flag its default, a
// missing string leaves the text as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "qlmstd/qlmstd.h"
#include "qlmstd/store_key.h"

namespace qlm::engine {

uint32_t ReadInt(const qlmstd::CStoreKey& key, const char* name);
// A flag is a binary value whose first byte counts; a 32-bit integer stored
// under a flag's name (as a hand-edited store may have it) counts too.
uint32_t ReadFlag(const qlmstd::CStoreKey& key, const char* name, uint32_t default_value);
// Sets *text only when the value exists (at most 255 characters).
void ReadString(const qlmstd::CStoreKey& key, const char* name, std::string* text);

void WriteInt(const qlmstd::CStoreKey& key, const char* name, uint32_t value);
void WriteFlag(const qlmstd::CStoreKey& key, const char* name, uint32_t value);
void WriteString(const qlmstd::CStoreKey& key, const char* name, const std::string& text);

// Runs `write` as one store transaction: the section it rewrites is seen
// whole or not at all. false when it did not commit.
bool SaveSectionInTransaction(const std::function<bool()>& write);

// Section-level (General, Activity, Log): GetRegProfileInt/String with a default.
uint32_t ProfileInt(const char* section, const char* name, uint32_t default_value);
std::string ProfileString(const char* section, const char* name, const std::string& default_value);

// The names of a key's subkeys, enumerated by index from 0 until it fails.
std::vector<std::string> SubKeyNames(const qlmstd::CStoreKey& key);

}  // namespace qlm::engine
