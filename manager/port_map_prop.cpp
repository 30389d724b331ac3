// The Port Mapping page.
#include "manager/port_map_prop.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "manager/port_config_dialog.h"
#include "manager/settings_texts.h"

namespace qlm::manager {

std::array<std::string, 5> PortMapRow(const engine::PortMapSettings& map) {
  return {map.name, map.remote_server, map.enable != 0 ? kStatusEnabled : kStatusDisabled,
          map.protocol, std::to_string(map.remote_port)};
}

CPortMapProp::CPortMapProp(CSettingsDocument* document, QWidget* parent)
    : QWidget(parent), document_(document), list_(new QTreeWidget(this)) {
  list_->setHeaderLabels(
      {tr("Mapping Name"), tr("Destination"), tr("Status"), tr("Protocol"), tr("Remote Port")});
  list_->setRootIsDecorated(false);
  list_->setColumnWidth(0, 160);
  list_->setColumnWidth(1, 200);
  auto* text = new QLabel(tr(kPortMapPageText), this);
  text->setWordWrap(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  const std::pair<const char*, std::function<void()>> commands[] = {
      {"Enable", [this] { EnableSelected(); }},
      {"Disable", [this] { DisableSelected(); }},
      {"Add", [this] { Add(); }},
      {"Delete", [this] { DeleteSelected(); }},
      {"Configuration", [this] { ConfigureSelected(); }},
  };
  for (const auto& [caption, run] : commands) {
    auto* button = new QPushButton(tr(caption), this);
    connect(button, &QPushButton::clicked, this, run);
    buttons->addWidget(button);
  }
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { ConfigureSelected(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addWidget(list_);
  layout->addLayout(buttons);
  LoadFromDocument();
}

void CPortMapProp::LoadFromDocument() {
  const int keep = Selected();
  list_->clear();
  for (const engine::PortMapSettings& map : document_->port_maps) {
    auto* item = new QTreeWidgetItem(list_);
    const auto row = PortMapRow(map);
    for (int c = 0; c < 5; ++c) {
      item->setText(c, QString::fromStdString(row[c]));
    }
  }
  const int count = list_->topLevelItemCount();
  if (count > 0) {
    list_->setCurrentItem(list_->topLevelItem(keep >= 0 && keep < count ? keep : 0));
  }
}

int CPortMapProp::Selected() const {
  QTreeWidgetItem* item = list_->currentItem();
  return item == nullptr ? -1 : list_->indexOfTopLevelItem(item);
}

bool CPortMapProp::EnableSelected() {
  const int row = Selected();
  if (row < 0) {
    return false;
  }
  document_->port_maps[row].enable = 1;
  LoadFromDocument();
  return true;
}

bool CPortMapProp::DisableSelected() {
  const int row = Selected();
  if (row < 0) {
    return false;
  }
  document_->port_maps[row].enable = 0;
  LoadFromDocument();
  return true;
}

bool CPortMapProp::DeleteSelected() {
  const int row = Selected();
  if (row < 0) {
    return false;
  }
  document_->port_maps.erase(document_->port_maps.begin() + row);
  LoadFromDocument();
  return true;
}

bool CPortMapProp::Add(const std::function<void(CPortConfigDialog&)>& prepare) {
  return Edit(document_->port_maps.size(), prepare);
}

bool CPortMapProp::ConfigureSelected(const std::function<void(CPortConfigDialog&)>& prepare) {
  const int row = Selected();
  return row >= 0 && Edit(static_cast<size_t>(row), prepare);
}

bool CPortMapProp::Edit(size_t index, const std::function<void(CPortConfigDialog&)>& prepare) {
  const bool adding = index == document_->port_maps.size();
  engine::PortMapSettings map;
  if (!adding) {
    map = document_->port_maps[index];
  } else {
    map.rule = "general";
  }
  CPortConfigDialog dialog(map, document_->port_maps, index, this);
  if (prepare) {
    prepare(dialog);
  }
  if (dialog.exec() != QDialog::Accepted) {
    return false;
  }
  if (adding) {
    document_->port_maps.push_back(dialog.Values());
  } else {
    document_->port_maps[index] = dialog.Values();
  }
  LoadFromDocument();
  if (adding) {
    list_->setCurrentItem(list_->topLevelItem(list_->topLevelItemCount() - 1));
  }
  return true;
}

}  // namespace qlm::manager
