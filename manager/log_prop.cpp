// The Logging page's table.
#include "manager/log_prop.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

namespace qlm::manager {

CLogProp::CLogProp(CLogModel* model, QWidget* parent)
    : QWidget(parent), table_model_(model), table_(new QTableView(this)) {
  table_->setModel(&table_model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->setVisible(false);
  table_->verticalHeader()->setDefaultSectionSize(18);
  table_->setIconSize(QSize(16, 16));
  for (size_t c = 0; c < kLogColumnCount; ++c) {
    table_->setColumnWidth(static_cast<int>(c), kLogColumns[c].width);
  }
  auto* refresh = new QPushButton(tr("Refresh"), this);
  refresh->setObjectName("Refresh");
  connect(refresh, &QPushButton::clicked, this, [this] { ReloadLog(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(refresh);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addLayout(buttons);
}

}  // namespace qlm::manager
