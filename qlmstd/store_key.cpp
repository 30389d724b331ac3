// Keys and values of the store: opening by path, enumeration, typed values.
#include "qlmstd/store_key.h"

#include <cstring>

#include "qlmstd/store_connection.h"

namespace qlm::qlmstd {
namespace {

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) {
        parts.push_back(part);
      }
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) {
    parts.push_back(part);
  }
  return parts;
}

// A key opened before the thread began its transaction still works inside
// it: on its own connection it would wait for the very write lock its thread
// holds (and give up after the busy time-out), outside the transaction.
CStoreConnection& Use(const std::shared_ptr<CStoreConnection>& own) {
  std::shared_ptr<CStoreConnection> current = CStoreConnection::ThreadCurrent();
  return current ? *current : *own;
}

std::optional<int64_t> ChildId(CStoreConnection& c, int64_t parent, const std::string& name) {
  return c.QueryInt("SELECT id FROM keys WHERE parent=? AND name=?", {parent, name});
}

// Walks `path` below `start`, creating missing levels when asked.
std::optional<int64_t> Walk(CStoreConnection& c, int64_t start, const std::string& path,
                            bool create) {
  std::vector<std::string> parts = SplitPath(path);
  int64_t id = start;
  std::optional<CWriteScope> scope;
  for (const std::string& part : parts) {
    std::optional<int64_t> child = ChildId(c, id, part);
    if (!child && create) {
      if (!scope) {
        scope.emplace(c);
        if (!scope->Ok()) {
          return std::nullopt;
        }
        child = ChildId(c, id, part);  // another writer may have made it meanwhile
      }
      if (!child) {
        if (!c.Exec("INSERT INTO keys(parent, name) VALUES(?, ?)", {id, part})) {
          return std::nullopt;
        }
        child = c.LastInsertId();
      }
    }
    if (!child) {
      return std::nullopt;
    }
    id = *child;
  }
  if (scope && !scope->Commit()) {
    return std::nullopt;
  }
  return id;
}

}  // namespace

CStoreKey::CStoreKey(std::shared_ptr<CStoreConnection> connection, int64_t id)
    : connection_(std::move(connection)), id_(id) {}

CStoreKey::~CStoreKey() = default;
CStoreKey::CStoreKey(CStoreKey&& other) noexcept
    : connection_(std::move(other.connection_)), id_(other.id_) {
  other.id_ = 0;
}
CStoreKey& CStoreKey::operator=(CStoreKey&& other) noexcept {
  connection_ = std::move(other.connection_);
  id_ = other.id_;
  other.id_ = 0;
  return *this;
}

void CStoreKey::Close() {
  connection_.reset();
  id_ = 0;
}

CStoreKey CStoreKey::OpenTop(Top top, const std::string& path, bool create) {
  std::shared_ptr<CStoreConnection> c = CStoreConnection::Acquire();
  if (!c) {
    return {};
  }
  int64_t start = top == Top::kLocalMachine ? kLocalMachineId : kCurrentUserId;
  std::optional<int64_t> id = Walk(*c, start, path, create);
  if (!id) {
    return {};
  }
  return CStoreKey(std::move(c), *id);
}

CStoreKey CStoreKey::Open(const std::string& path, bool create) const {
  if (!id_) {
    return {};
  }
  std::optional<int64_t> id = Walk(Use(connection_), id_, path, create);
  if (!id) {
    return {};
  }
  return CStoreKey(connection_, *id);
}

std::optional<std::string> CStoreKey::EnumKey(uint32_t index) const {
  if (!id_) {
    return std::nullopt;
  }
  std::vector<SqlRow> rows;
  if (!Use(connection_).Exec("SELECT name FROM keys WHERE parent=? ORDER BY name LIMIT 1 OFFSET ?",
                         {id_, static_cast<int64_t>(index)}, &rows) ||
      rows.empty()) {
    return std::nullopt;
  }
  return rows[0].texts[0];
}

std::optional<std::pair<std::string, StoreValue>> CStoreKey::EnumValue(uint32_t index) const {
  if (!id_) {
    return std::nullopt;
  }
  std::vector<SqlRow> rows;
  if (!Use(connection_).Exec(
          "SELECT name, type, data FROM vals WHERE key=? ORDER BY name LIMIT 1 OFFSET ?",
          {id_, static_cast<int64_t>(index)}, &rows) ||
      rows.empty()) {
    return std::nullopt;
  }
  StoreValue v{static_cast<ValueType>(rows[0].numbers[1]), rows[0].blobs[2]};
  return std::make_pair(rows[0].texts[0], v);
}

std::optional<StoreValue> CStoreKey::Query(const std::string& name) const {
  if (!id_) {
    return std::nullopt;
  }
  std::vector<SqlRow> rows;
  if (!Use(connection_).Exec("SELECT type, data FROM vals WHERE key=? AND name=?", {id_, name},
                         &rows) ||
      rows.empty()) {
    return std::nullopt;
  }
  return StoreValue{static_cast<ValueType>(rows[0].numbers[0]), rows[0].blobs[1]};
}

bool CStoreKey::Set(const std::string& name, const StoreValue& value) const {
  if (!id_) {
    return false;
  }
  // The key may have been deleted by another writer since it was opened.
  return Use(connection_).Exec(
             "INSERT INTO vals(key, name, type, data) SELECT ?, ?, ?, ? "
             "WHERE EXISTS(SELECT 1 FROM keys WHERE id=?) "
             "ON CONFLICT(key, name) DO UPDATE SET type=excluded.type, "
             "data=excluded.data",
             {id_, name, static_cast<int64_t>(value.type), value.data, id_}) &&
         Use(connection_).QueryInt("SELECT changes()", {}).value_or(0) == 1;
}

bool CStoreKey::SetString(const std::string& name, const std::string& text) const {
  StoreValue v{ValueType::kString, std::vector<uint8_t>(text.begin(), text.end())};
  v.data.push_back(0);
  return Set(name, v);
}

bool CStoreKey::SetDword(const std::string& name, uint32_t value) const {
  StoreValue v{ValueType::kDword, std::vector<uint8_t>(4)};
  std::memcpy(v.data.data(), &value, 4);
  return Set(name, v);
}

bool CStoreKey::SetBinary(const std::string& name, const uint8_t* bytes, size_t length) const {
  StoreValue v{ValueType::kBinary, std::vector<uint8_t>(bytes, bytes + length)};
  return Set(name, v);
}

bool CStoreKey::DeleteValue(const std::string& name) const {
  return id_ && Use(connection_).Exec("DELETE FROM vals WHERE key=? AND name=?", {id_, name}) &&
         Use(connection_).QueryInt("SELECT changes()", {}).value_or(0) > 0;
}

bool CStoreKey::HasSubKey(const std::string& name) const {
  return id_ && ChildId(Use(connection_), id_, name).has_value();
}

long CStoreKey::DeleteTree(const std::string& name) const {
  if (!id_) {
    return kStatusInvalidHandle;
  }
  if (!Use(connection_).Exec("DELETE FROM keys WHERE parent=? AND name=?", {id_, name})) {
    return kStatusAccessDenied;
  }
  return Use(connection_).QueryInt("SELECT changes()", {}).value_or(0) > 0 ? kStatusSuccess
                                                                        : kStatusFileNotFound;
}

std::string CStoreKey::Path() const {
  if (!id_) {
    return {};
  }
  std::string path;
  int64_t id = id_;
  for (int depth = 0; depth < 256 && id > kCurrentUserId; ++depth) {
    std::vector<SqlRow> rows;
    if (!Use(connection_).Exec("SELECT parent, name FROM keys WHERE id=?", {id}, &rows) ||
        rows.empty()) {
      break;
    }
    path = path.empty() ? rows[0].texts[1] : rows[0].texts[1] + "\\" + path;
    id = rows[0].numbers[0];
  }
  return path;
}

}  // namespace qlm::qlmstd
