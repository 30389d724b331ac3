// The Daemons page.
#include "manager/protocol_prop.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "manager/daemon_config_dialog.h"
#include "manager/message_boxes.h"
#include "manager/settings_checks.h"
#include "manager/settings_texts.h"

namespace qlm::manager {

namespace {
constexpr char kTitle[] = "Quillmar";
}  // namespace

std::array<std::string, 4> DaemonRow(const engine::ProtocolSettings& daemon) {
  std::string address = " ";
  if (!daemon.listeners.empty()) {
    address = daemon.listeners.front() + (daemon.listeners.size() > 1 ? "..." : "");
  }
  return {daemon.name, daemon.enable != 0 ? kStatusEnabled : kStatusDisabled, address,
          std::to_string(daemon.default_port)};
}

CProtocolProp::CProtocolProp(CSettingsDocument* document, QWidget* parent)
    : QWidget(parent), document_(document), list_(new QTreeWidget(this)) {
  list_->setHeaderLabels({tr("Daemon Name"), tr("Status"), tr("IP Address"), tr("Port")});
  list_->setRootIsDecorated(false);
  list_->setColumnWidth(0, 140);
  list_->setColumnWidth(1, 90);
  list_->setColumnWidth(2, 200);
  auto* text = new QLabel(tr(kDaemonsPageText), this);
  text->setWordWrap(true);
  auto* status_text = new QLabel(tr(kDaemonsPageStatusText), this);
  status_text->setWordWrap(true);
  auto* enable = new QPushButton(tr("Enable"), this);
  auto* disable = new QPushButton(tr("Disable"), this);
  auto* configure = new QPushButton(tr("Configuration"), this);
  connect(enable, &QPushButton::clicked, this, [this] { EnableSelected(); });
  connect(disable, &QPushButton::clicked, this, [this] { DisableSelected(); });
  connect(configure, &QPushButton::clicked, this, [this] { ConfigureSelected(); });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { ConfigureSelected(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(enable);
  buttons->addWidget(disable);
  buttons->addWidget(configure);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addWidget(list_);
  layout->addLayout(buttons);
  layout->addWidget(status_text);
  LoadFromDocument();
}

void CProtocolProp::LoadFromDocument() {
  list_->clear();
  for (const engine::ProtocolSettings& daemon : document_->daemons) {
    auto* item = new QTreeWidgetItem(list_);
    const auto row = DaemonRow(daemon);
    for (int c = 0; c < 4; ++c) {
      item->setText(c, QString::fromStdString(row[c]));
    }
  }
  if (list_->topLevelItemCount() > 0) {
    list_->setCurrentItem(list_->topLevelItem(0));
  }
}

void CProtocolProp::RefreshRow(int row) {
  const auto texts = DaemonRow(document_->daemons.at(row));
  QTreeWidgetItem* item = list_->topLevelItem(row);
  for (int c = 0; c < 4; ++c) {
    item->setText(c, QString::fromStdString(texts[c]));
  }
}

int CProtocolProp::Selected() const {
  QTreeWidgetItem* item = list_->currentItem();
  return item == nullptr ? -1 : list_->indexOfTopLevelItem(item);
}

bool CProtocolProp::Select(const std::string& name) {
  for (size_t i = 0; i < document_->daemons.size(); ++i) {
    if (document_->daemons[i].name == name) {
      list_->setCurrentItem(list_->topLevelItem(static_cast<int>(i)));
      return true;
    }
  }
  return false;
}

bool CProtocolProp::EnableSelected() {
  const int row = Selected();
  if (row < 0) {
    return false;
  }
  engine::ProtocolSettings& daemon = document_->daemons[row];
  if (CheckResult r = CheckDaemonEnable(daemon)) {
    CMessageBoxes(this).Error(*r, kTitle);
    return false;
  }
  daemon.enable = 1;
  RefreshRow(row);
  return true;
}

bool CProtocolProp::DisableSelected() {
  const int row = Selected();
  if (row < 0) {
    return false;
  }
  document_->daemons[row].enable = 0;
  RefreshRow(row);
  return true;
}

bool CProtocolProp::ConfigureSelected(const std::function<void(CDaemonConfigDialog&)>& prepare) {
  const int row = Selected();
  if (row < 0) {
    return false;
  }
  CDaemonConfigDialog dialog(document_->daemons, static_cast<size_t>(row), this);
  if (prepare) {
    prepare(dialog);
  }
  if (dialog.exec() != QDialog::Accepted) {
    return false;
  }
  document_->daemons[row] = dialog.Values();
  RefreshRow(row);
  return true;
}

}  // namespace qlm::manager
