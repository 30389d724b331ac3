// A write transaction spanning several store calls on this thread: every key
// opened and every CQlmstd call made on the thread while it lives uses its
// connection, so the changes become visible together at Commit() or not at
// all (the destructor rolls back what was not committed). A crash in between
// leaves the store as it was before.
#pragma once

#include <memory>

namespace qlm::qlmstd {

class CStoreConnection;

class CStoreTransaction {
 public:
  CStoreTransaction();   // begins (waits for other writers up to the busy time-out)
  ~CStoreTransaction();  // rolls back unless committed
  CStoreTransaction(const CStoreTransaction&) = delete;
  CStoreTransaction& operator=(const CStoreTransaction&) = delete;

  // false when the store could not be opened or the transaction not begun.
  bool Active() const { return active_; }
  bool Commit();

 private:
  std::shared_ptr<CStoreConnection> connection_;
  std::shared_ptr<CStoreConnection> outer_;
  bool active_ = false;
  bool nested_ = false;
};

}  // namespace qlm::qlmstd
