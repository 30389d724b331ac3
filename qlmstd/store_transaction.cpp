// Several store calls as one transaction on this thread.
#include "qlmstd/store_transaction.h"

#include "qlmstd/store_connection.h"

namespace qlm::qlmstd {

CStoreTransaction::CStoreTransaction() {
  outer_ = CStoreConnection::ThreadCurrent();
  if (outer_) {
    // Inside another transaction: its commit decides for both.
    connection_ = outer_;
    nested_ = true;
    active_ = outer_->InTransaction();
    return;
  }
  connection_ = CStoreConnection::Acquire();
  if (!connection_ || !connection_->Exec("BEGIN IMMEDIATE")) {
    connection_.reset();
    return;
  }
  active_ = true;
  CStoreConnection::SetThreadCurrent(connection_);
}

CStoreTransaction::~CStoreTransaction() {
  if (nested_ || !connection_) {
    return;
  }
  if (active_) {
    connection_->Exec("ROLLBACK");
  }
  CStoreConnection::SetThreadCurrent(nullptr);
}

bool CStoreTransaction::Commit() {
  if (!active_) {
    return false;
  }
  if (nested_) {
    return true;
  }
  active_ = false;
  if (connection_->Exec("COMMIT")) {
    return true;
  }
  connection_->Exec("ROLLBACK");
  return false;
}

}  // namespace qlm::qlmstd
