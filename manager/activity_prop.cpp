// The activity tree widget.
#include "manager/activity_prop.h"

namespace qlm::manager {

namespace {
constexpr int kItemIdRole = Qt::UserRole + 1;
}  // namespace

CActivityProp::CActivityProp(CActivityModel* model, QWidget* parent)
    : QTreeWidget(parent), model_(model) {
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setColumnCount(1);
  // What the administrator opens or closes stays so across redraws.
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { Remember(item, true); });
  connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) { Remember(item, false); });
  Refresh();
}

void CActivityProp::Remember(QTreeWidgetItem* item, bool expanded) {
  if (drawing_) {
    return;
  }
  model_->SetExpanded(item->data(0, kItemIdRole).toUInt(), expanded);
  drawn_revision_ = model_->Revision();  // the view shows it already
}

void CActivityProp::Refresh() {
  if (model_->Revision() == drawn_revision_) {
    return;
  }
  drawn_revision_ = model_->Revision();
  drawing_ = true;
  clear();
  AddItem(nullptr, model_->Root());
  drawing_ = false;
}

void CActivityProp::AddItem(QTreeWidgetItem* parent, CActivityModel::ItemId id) {
  const CActivityModel::Item& item = model_->Get(id);
  auto* widget_item = parent == nullptr ? new QTreeWidgetItem(this) : new QTreeWidgetItem(parent);
  widget_item->setText(0, QString::fromStdString(item.text));
  widget_item->setData(0, kItemIdRole, id);
  for (CActivityModel::ItemId child : item.children) {
    AddItem(widget_item, child);
  }
  widget_item->setExpanded(item.expanded);
}

}  // namespace qlm::manager
