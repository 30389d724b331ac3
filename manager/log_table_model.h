// The log table's rows for the list view: drawn on demand from the log
// model (the view holds only the row count), with the row's icon by its
// Operation column.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <vector>

#include "manager/log_model.h"

namespace qlm::manager {

class CLogTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit CLogTableModel(CLogModel* model, QObject* parent = nullptr);

  // Takes the waiting lines in (heartbeat or "Refresh") and tells the view.
  void Refresh(bool whole);

  // QAbstractTableModel overrides
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  CLogModel* model_;
  int shown_rows_ = 0;
  std::vector<QIcon> icons_;  // the eight row icons, by index
};

// The eight pictures of the row icons.
std::vector<QIcon> MakeLogIcons();

}  // namespace qlm::manager
