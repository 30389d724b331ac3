// One open connection to the store file (SQLite): the schema, the pragmas
// that let the engine, the manager and their threads share the file (WAL,
// busy time-out), prepared statements run with bound arguments, and the
// thread's current transaction connection.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace qlm::qlmstd {

inline constexpr const char* kStoreEnv = "QUILLMAR_STORE";
inline constexpr const char* kDefaultStorePath = "/var/lib/quillmar/quillmar.db";
// How long a call waits for another writer before it fails.
inline constexpr int kBusyTimeoutMs = 15000;

// Ids of the two top keys.
inline constexpr int64_t kLocalMachineId = 1;
inline constexpr int64_t kCurrentUserId = 2;

// One bound argument of a statement.
struct SqlArg {
  enum class Kind { kInt, kText, kBlob } kind = Kind::kInt;
  int64_t number = 0;
  std::string text;
  std::vector<uint8_t> blob;
  SqlArg(int64_t n) : kind(Kind::kInt), number(n) {}  // NOLINT
  SqlArg(std::string t) : kind(Kind::kText), text(std::move(t)) {}  // NOLINT
  SqlArg(const char* t) : kind(Kind::kText), text(t) {}  // NOLINT
  SqlArg(std::vector<uint8_t> b) : kind(Kind::kBlob), blob(std::move(b)) {}  // NOLINT
};

// One result row: columns as integers, texts or blobs.
struct SqlRow {
  std::vector<int64_t> numbers;
  std::vector<std::string> texts;
  std::vector<std::vector<uint8_t>> blobs;
};

class CStoreConnection {
 public:
  ~CStoreConnection();
  CStoreConnection(const CStoreConnection&) = delete;
  CStoreConnection& operator=(const CStoreConnection&) = delete;

  // The store file's path: $QUILLMAR_STORE, else the fixed default.
  static std::string StorePath();
  // The thread's transaction connection when one is active, else a new
  // connection; null when the file cannot be opened.
  static std::shared_ptr<CStoreConnection> Acquire();
  static std::shared_ptr<CStoreConnection> ThreadCurrent();
  static void SetThreadCurrent(std::shared_ptr<CStoreConnection> connection);

  // Runs one statement; false on any error. `rows` receives the result.
  bool Exec(const char* sql, const std::vector<SqlArg>& args = {},
            std::vector<SqlRow>* rows = nullptr);
  // Runs `sql` and gives the first row's first integer column.
  std::optional<int64_t> QueryInt(const char* sql, const std::vector<SqlArg>& args);
  int64_t LastInsertId() const;
  bool InTransaction() const;

 private:
  explicit CStoreConnection(sqlite3* db) : db_(db) {}
  static std::shared_ptr<CStoreConnection> Open();
  bool Prepare();

  sqlite3* db_ = nullptr;
};

// Groups several statements into one write transaction unless the
// connection is inside one already (then the outer one decides).
class CWriteScope {
 public:
  explicit CWriteScope(CStoreConnection& connection);
  ~CWriteScope();
  CWriteScope(const CWriteScope&) = delete;
  CWriteScope& operator=(const CWriteScope&) = delete;
  bool Ok() const { return ok_; }
  bool Commit();

 private:
  CStoreConnection& connection_;
  bool own_ = false;
  bool ok_ = false;
  bool done_ = false;
};

}  // namespace qlm::qlmstd
