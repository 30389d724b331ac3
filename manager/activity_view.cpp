// The activity tree widget.
#include "manager/activity_view.h"

namespace qlm::manager {

CActivityView::CActivityView(const CActivityModel* model, QWidget* parent)
    : QTreeWidget(parent), model_(model) {
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setColumnCount(1);
  Refresh();
}

void CActivityView::Refresh() {
  if (model_->Revision() == drawn_revision_) {
    return;
  }
  drawn_revision_ = model_->Revision();
  clear();
  AddItem(nullptr, model_->Root());
}

void CActivityView::AddItem(QTreeWidgetItem* parent, CActivityModel::ItemId id) {
  const CActivityModel::Item& item = model_->Get(id);
  auto* widget_item = parent == nullptr ? new QTreeWidgetItem(this) : new QTreeWidgetItem(parent);
  widget_item->setText(0, QString::fromStdString(item.text));
  for (CActivityModel::ItemId child : item.children) {
    AddItem(widget_item, child);
  }
  widget_item->setExpanded(item.expanded);
}

}  // namespace qlm::manager
