// The Activity page's tree: draws the activity model (lines and buttons,
// root "Proxy Connections", daemons by address, name and port, one line per
// open connection).
#pragma once

#include <QTreeWidget>

#include "manager/activity_model.h"

namespace qlm::manager {

class CActivityProp : public QTreeWidget {
  Q_OBJECT

 public:
  CActivityProp(CActivityModel* model, QWidget* parent = nullptr);

  // Redraws from the model when it changed since the last draw.
  void Refresh();

 private:
  void AddItem(QTreeWidgetItem* parent, CActivityModel::ItemId id);

  void Remember(QTreeWidgetItem* item, bool expanded);

  CActivityModel* model_;
  uint64_t drawn_revision_ = ~uint64_t{0};
  bool drawing_ = false;
};

}  // namespace qlm::manager
