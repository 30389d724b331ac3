// The store file's connection: opening, schema, statements, write scopes.
#include "qlmstd/store_connection.h"

#include <sqlite3.h>

#include <cstdlib>

namespace qlm::qlmstd {
namespace {

// Keys form a tree under two fixed top rows; deleting a key removes its
// subtree and values through the cascades. NOCASE gives the registry's
// case-insensitive names and enumeration order.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY,"
    " parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " UNIQUE(parent, name));"
    "CREATE TABLE IF NOT EXISTS vals("
    " key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " PRIMARY KEY(key, name)) WITHOUT ROWID;"
    "INSERT OR IGNORE INTO keys(id, parent, name) VALUES"
    " (1, NULL, 'HKEY_LOCAL_MACHINE'), (2, NULL, 'HKEY_CURRENT_USER');";

thread_local std::shared_ptr<CStoreConnection> t_current;

void Bind(sqlite3_stmt* stmt, const std::vector<SqlArg>& args) {
  for (size_t i = 0; i < args.size(); ++i) {
    const SqlArg& a = args[i];
    int at = static_cast<int>(i) + 1;
    if (a.kind == SqlArg::Kind::kInt) {
      sqlite3_bind_int64(stmt, at, a.number);
    } else if (a.kind == SqlArg::Kind::kText) {
      sqlite3_bind_text(stmt, at, a.text.data(), static_cast<int>(a.text.size()),
                        SQLITE_TRANSIENT);
    } else if (a.blob.empty()) {
      sqlite3_bind_zeroblob(stmt, at, 0);  // an empty value, not a missing one
    } else {
      sqlite3_bind_blob(stmt, at, a.blob.data(), static_cast<int>(a.blob.size()),
                        SQLITE_TRANSIENT);
    }
  }
}

SqlRow ReadRow(sqlite3_stmt* stmt) {
  SqlRow row;
  int columns = sqlite3_column_count(stmt);
  for (int c = 0; c < columns; ++c) {
    row.numbers.push_back(sqlite3_column_int64(stmt, c));
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
    row.texts.emplace_back(text ? text : "");
    const auto* blob = static_cast<const uint8_t*>(sqlite3_column_blob(stmt, c));
    int size = sqlite3_column_bytes(stmt, c);
    row.blobs.emplace_back(blob, blob + (blob ? size : 0));
  }
  return row;
}

}  // namespace

CStoreConnection::~CStoreConnection() {
  if (db_) {
    if (!sqlite3_get_autocommit(db_)) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    sqlite3_close_v2(db_);
  }
}

std::string CStoreConnection::StorePath() {
  const char* env = std::getenv(kStoreEnv);
  return (env && *env) ? env : kDefaultStorePath;
}

std::shared_ptr<CStoreConnection> CStoreConnection::Open() {
  sqlite3* db = nullptr;
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
  if (sqlite3_open_v2(StorePath().c_str(), &db, flags, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  std::shared_ptr<CStoreConnection> connection(new CStoreConnection(db));
  if (!connection->Prepare()) {
    return nullptr;
  }
  return connection;
}

bool CStoreConnection::Prepare() {
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  // Every call opens and closes its own connection; a checkpoint at each
  // close would rewrite the file and sync it every time. Checkpoints happen
  // as the log grows instead.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  sqlite3_exec(db_, "PRAGMA foreign_keys=ON", nullptr, nullptr, nullptr);
  // WAL lets readers go on while one writer commits; switching needs a
  // moment alone with the file, so a failure here is retried by the next
  // opener and is not fatal.
  sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  auto exists = QueryInt("SELECT COUNT(*) FROM sqlite_master WHERE name='vals'", {});
  if (exists && *exists == 1) {
    return true;
  }
  CWriteScope scope(*this);
  return scope.Ok() && sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr) == SQLITE_OK &&
         scope.Commit();
}

std::shared_ptr<CStoreConnection> CStoreConnection::Acquire() {
  if (t_current) {
    return t_current;
  }
  return Open();
}

std::shared_ptr<CStoreConnection> CStoreConnection::ThreadCurrent() { return t_current; }

void CStoreConnection::SetThreadCurrent(std::shared_ptr<CStoreConnection> connection) {
  t_current = std::move(connection);
}

bool CStoreConnection::Exec(const char* sql, const std::vector<SqlArg>& args,
                            std::vector<SqlRow>* rows) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return false;
  }
  Bind(stmt, args);
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    if (rows) {
      rows->push_back(ReadRow(stmt));
    }
  }
  sqlite3_finalize(stmt);
  return rc == SQLITE_DONE;
}

std::optional<int64_t> CStoreConnection::QueryInt(const char* sql,
                                                  const std::vector<SqlArg>& args) {
  std::vector<SqlRow> rows;
  if (!Exec(sql, args, &rows) || rows.empty() || rows[0].numbers.empty()) {
    return std::nullopt;
  }
  return rows[0].numbers[0];
}

int64_t CStoreConnection::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }

bool CStoreConnection::InTransaction() const { return !sqlite3_get_autocommit(db_); }

CWriteScope::CWriteScope(CStoreConnection& connection) : connection_(connection) {
  if (connection_.InTransaction()) {
    ok_ = true;
    return;
  }
  // IMMEDIATE takes the write lock at once, so two writers never deadlock
  // upgrading from a read.
  own_ = connection_.Exec("BEGIN IMMEDIATE");
  ok_ = own_;
}

CWriteScope::~CWriteScope() {
  if (own_ && !done_) {
    connection_.Exec("ROLLBACK");
  }
}

bool CWriteScope::Commit() {
  if (!own_) {
    return ok_;
  }
  done_ = true;
  if (connection_.Exec("COMMIT")) {
    return true;
  }
  connection_.Exec("ROLLBACK");
  return false;
}

}  // namespace qlm::qlmstd
