// The Logging page's log table with its "Refresh" button.
#pragma once

#include <QTableView>
#include <QWidget>

#include "manager/log_table_model.h"

namespace qlm::manager {

class CLogProp : public QWidget {
  Q_OBJECT

 public:
  CLogProp(CLogModel* model, QWidget* parent = nullptr);

  // Heartbeat (while the log is enabled in the settings).
  void RefreshLog() { table_model_.Refresh(false); }
  // "Refresh".
  void ReloadLog() { table_model_.Refresh(true); }
  QTableView* Table() { return table_; }

 private:
  CLogTableModel table_model_;
  QTableView* table_;
};

}  // namespace qlm::manager
