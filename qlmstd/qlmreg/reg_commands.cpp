// qlmreg's commands on the store.
#include "qlmstd/qlmreg/reg_commands.h"

#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "qlmstd/qlmreg/reg_text_parser.h"
#include "qlmstd/qlmstd.h"
#include "qlmstd/store_connection.h"
#include "qlmstd/store_transaction.h"

namespace qlm::qlmstd {
namespace {

constexpr const char* kLocalMachine = "HKEY_LOCAL_MACHINE";
constexpr const char* kCurrentUser = "HKEY_CURRENT_USER";

bool StartsWithTop(const std::string& path, const char* top, std::string& rest) {
  size_t n = std::strlen(top);
  if (path.size() < n || strncasecmp(path.c_str(), top, n) != 0 ||
      (path.size() > n && path[n] != '\\')) {
    return false;
  }
  rest = path.size() > n ? path.substr(n + 1) : std::string();
  return true;
}

CStoreKey OpenPath(const std::string& path, bool create) {
  std::string rest;
  if (StartsWithTop(path, kLocalMachine, rest)) {
    return CStoreKey::OpenTop(CStoreKey::Top::kLocalMachine, rest, create);
  }
  if (StartsWithTop(path, kCurrentUser, rest)) {
    return CStoreKey::OpenTop(CStoreKey::Top::kCurrentUser, rest, create);
  }
  std::string full = kProductRootPath;
  if (!path.empty()) {
    full += "\\" + path;
  }
  return CStoreKey::OpenTop(CStoreKey::Top::kLocalMachine, full, create);
}

// Splits a path into its parent's path and its last level.
void SplitLast(const std::string& path, std::string& parent, std::string& last) {
  size_t slash = path.rfind('\\');
  parent = slash == std::string::npos ? std::string() : path.substr(0, slash);
  last = slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string HexList(const std::vector<uint8_t>& data) {
  std::string out;
  char byte[4];
  for (size_t i = 0; i < data.size(); ++i) {
    std::snprintf(byte, sizeof byte, i ? ",%02x" : "%02x", data[i]);
    out += byte;
  }
  return out;
}

std::string StringOf(const StoreValue& v) {
  std::string s(v.data.begin(), v.data.end());
  if (!s.empty() && s.back() == '\0') {
    s.pop_back();
  }
  return s;
}

uint32_t DwordOf(const StoreValue& v) {
  uint32_t d = 0;
  std::memcpy(&d, v.data.data(), std::min<size_t>(4, v.data.size()));
  return d;
}

// One value in the export format's right-hand side.
// A value the friendly forms would change on the way back (a string without
// its one terminating zero, an integer of another length, a type of its own)
// is written as hex(type): so an import gives back the same bytes and type.
std::string ExportData(const StoreValue& v) {
  char text[32];
  if (v.type == ValueType::kString && !v.data.empty() && v.data.back() == 0 &&
      std::find(v.data.begin(), v.data.end(), 0) == v.data.end() - 1) {
    return QuoteRegString(StringOf(v));
  }
  if (v.type == ValueType::kDword && v.data.size() == 4) {
    std::snprintf(text, sizeof text, "dword:%08x", DwordOf(v));
    return text;
  }
  if (v.type == ValueType::kBinary) {
    return "hex:" + HexList(v.data);
  }
  std::snprintf(text, sizeof text, "hex(%x):", static_cast<unsigned>(v.type));
  return text + HexList(v.data);
}

void ExportKey(const CStoreKey& key, const std::string& shown, std::string& text, int depth) {
  text += "[" + shown + "]\n";
  for (uint32_t i = 0;; ++i) {
    auto value = key.EnumValue(i);
    if (!value) {
      break;
    }
    std::string name = value->first.empty() ? "@" : QuoteRegString(value->first);
    text += name + "=" + ExportData(value->second) + "\n";
  }
  text += "\n";
  for (uint32_t i = 0; depth < 64; ++i) {
    auto child = key.EnumKey(i);
    if (!child) {
      break;
    }
    CStoreKey sub = key.Open(*child, false);
    if (sub) {
      ExportKey(sub, shown.empty() ? *child : shown + "\\" + *child, text, depth + 1);
    }
  }
}

bool ApplyChange(const RegChange& c, std::string& error) {
  bool ok = true;
  if (c.kind == RegChange::Kind::kDeleteKey) {
    std::string parent, last;
    SplitLast(c.key, parent, last);
    CStoreKey p = OpenPath(parent, false);
    long status = p ? p.DeleteTree(last) : kStatusFileNotFound;
    ok = status == kStatusSuccess || status == kStatusFileNotFound;  // already gone is fine
  } else {
    CStoreKey key = OpenPath(c.key, true);
    ok = static_cast<bool>(key);
    if (ok && c.kind == RegChange::Kind::kSetValue) {
      ok = key.Set(c.name, c.value);
    } else if (ok && c.kind == RegChange::Kind::kDeleteValue) {
      key.DeleteValue(c.name);
    }
  }
  if (!ok) {
    error = "line " + std::to_string(c.line) + ": the store could not be written";
  }
  return ok;
}

// The root is the installer's (init's) to make: a store without it is not
// set up, and writing below it would leave a root without "InstallDir".
bool RootExists(std::string& error) {
  if (CStoreKey::OpenTop(CStoreKey::Top::kLocalMachine, kProductRootPath, false)) {
    return true;
  }
  error = kNoRootText;
  return false;
}

// Tests kill an import at its worst moment: every change applied, nothing
// committed. The marker file tells them that moment has come; the wait is
// bounded so a forgotten process still ends.
void PauseInsideTransactionForTests() {
  const char* marker = std::getenv(kTestPauseEnv);
  if (!marker || !*marker) {
    return;
  }
  if (FILE* file = std::fopen(marker, "w")) {
    std::fclose(file);
  }
  for (int i = 0; i < 600; ++i) {
    usleep(100000);
  }
}

// One consistent view of the store for a reader: a deferred transaction
// (a snapshot in WAL mode), so an export neither waits behind a writer's
// transaction nor holds writers back.
class CReadSnapshot {
 public:
  CReadSnapshot() {
    if (CStoreConnection::ThreadCurrent()) {
      return;
    }
    connection_ = CStoreConnection::Acquire();
    if (connection_ && connection_->Exec("BEGIN")) {
      CStoreConnection::SetThreadCurrent(connection_);
    } else {
      connection_.reset();
    }
  }
  ~CReadSnapshot() {
    if (connection_) {
      connection_->Exec("COMMIT");
      CStoreConnection::SetThreadCurrent(nullptr);
    }
  }
  CReadSnapshot(const CReadSnapshot&) = delete;
  CReadSnapshot& operator=(const CReadSnapshot&) = delete;

 private:
  std::shared_ptr<CStoreConnection> connection_;
};

}  // namespace

bool RegInit(const std::string& install_dir, const std::string& default_dir, std::string& error) {
  CStoreTransaction transaction;
  CStoreKey root = OpenPath("", true);
  if (!transaction.Active() || !root) {
    error = "cannot open the store";
    return false;
  }
  bool given = !install_dir.empty();
  if ((given || !root.Query(kInstallDirValue)) &&
      !root.SetString(kInstallDirValue, given ? install_dir : default_dir)) {
    error = "cannot write InstallDir";
    return false;
  }
  root.Close();
  if (!transaction.Commit()) {
    error = "cannot commit";
    return false;
  }
  return true;
}

bool RegExport(const std::string& key_path, std::string& text, std::string& error) {
  CReadSnapshot snapshot;
  CStoreKey key = OpenPath(key_path, false);
  if (!key) {
    if (!RootExists(error)) {
      return false;
    }
    error = "no such key: " + key_path;
    return false;
  }
  ExportKey(key, key_path, text, 0);
  return true;
}

bool RegImport(const std::string& text, std::string& error) {
  RegParseResult parsed = ParseRegText(text);
  if (!parsed.ok) {
    error = parsed.error;
    return false;
  }
  CStoreTransaction transaction;
  if (!transaction.Active()) {
    error = "cannot open the store";
    return false;
  }
  if (!RootExists(error)) {
    return false;
  }
  for (const RegChange& c : parsed.changes) {
    if (!ApplyChange(c, error)) {
      return false;
    }
  }
  PauseInsideTransactionForTests();
  if (!transaction.Commit()) {
    error = "cannot commit";
    return false;
  }
  return true;
}

bool RegGet(const std::string& key_path, const std::string& name, std::string& text,
            std::string& error) {
  if (!RootExists(error)) {
    return false;
  }
  CStoreKey key = OpenPath(key_path, false);
  auto value = key ? key.Query(name) : std::nullopt;
  if (!value) {
    error = "no such value: " + key_path + " " + name;
    return false;
  }
  if (value->type == ValueType::kString) {
    text = StringOf(*value);
  } else if (value->type == ValueType::kDword && value->data.size() == 4) {
    text = std::to_string(DwordOf(*value));
  } else {
    text = HexList(value->data);
  }
  return true;
}

bool RegSet(const std::string& key_path, const std::string& name, const std::string& type,
            const std::string& value, std::string& error) {
  std::string data;
  if (type == "sz") {
    data = QuoteRegString(value);
  } else if (type == "dword") {
    char* end = nullptr;
    unsigned long long v = std::strtoull(value.c_str(), &end, 0);
    if (value.empty() || *end != '\0' || v > 0xffffffffULL || value[0] == '-') {
      error = "bad dword: " + value;
      return false;
    }
    char hex[24];
    std::snprintf(hex, sizeof hex, "dword:%08llx", v);
    data = hex;
  } else if (type == "binary") {
    data = "hex:" + value;
  } else {
    error = "unknown type: " + type + " (sz, dword or binary)";
    return false;
  }
  std::string text = "[" + key_path + "]\n" + QuoteRegString(name) + "=" + data + "\n";
  RegParseResult parsed = ParseRegText(text);
  if (!parsed.ok) {
    error = parsed.error.substr(parsed.error.find(": ") + 2);
    return false;
  }
  return RegImport(text, error);
}

bool RegDelete(const std::string& key_path, const std::string* name, std::string& error) {
  if (!RootExists(error)) {
    return false;
  }
  if (!name) {
    std::string parent, last;
    SplitLast(key_path, parent, last);
    CStoreKey p = OpenPath(parent, false);
    if (key_path.empty() || !p || p.DeleteTree(last) != kStatusSuccess) {
      error = "no such key: " + key_path;
      return false;
    }
    return true;
  }
  CStoreKey key = OpenPath(key_path, false);
  if (!key || !key.DeleteValue(*name)) {
    error = "no such value: " + key_path + " " + *name;
    return false;
  }
  return true;
}

}  // namespace qlm::qlmstd
