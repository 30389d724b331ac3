// The property sheet and its pages.
#include "manager/all_controls_sheet.h"

#include <QVBoxLayout>

#include "manager/activity_prop.h"
#include "manager/general_prop.h"
#include "manager/log_prop.h"
#include "manager/manager_texts.h"
#include "manager/port_map_prop.h"
#include "manager/protocol_prop.h"
#include "manager/settings_pages.h"

namespace qlm::manager {

namespace {

QWidget* Stack(QWidget* parent, QWidget* top, QWidget* rest) {
  auto* page = new QWidget(parent);
  auto* layout = new QVBoxLayout(page);
  top->setParent(page);
  rest->setParent(page);
  layout->addWidget(top);
  layout->addWidget(rest, 1);
  return page;
}

}  // namespace

CAllControlsSheet::CAllControlsSheet(CActivityModel* activity, CLogModel* log,
                                     CSettingsDocument* document,
                                     std::function<std::vector<std::string>()> entries,
                                     QWidget* parent)
    : QTabWidget(parent),
      activity_settings_(new CActivitySettingsBox(document, this)),
      activity_prop_(new CActivityProp(activity, this)),
      general_prop_(new CGeneralProp(document, std::move(entries), this)),
      protocol_prop_(new CProtocolProp(document, this)),
      port_map_prop_(new CPortMapProp(document, this)),
      log_settings_(new CLogSettingsBox(document, this)),
      log_prop_(new CLogProp(log, this)) {
  setWindowTitle(kPropertyCaption);
  addTab(Stack(this, activity_settings_, activity_prop_), tr("Activity"));
  addTab(general_prop_, tr("General"));
  addTab(protocol_prop_, tr("Daemons"));
  addTab(port_map_prop_, tr("Port Mapping"));
  addTab(Stack(this, log_settings_, log_prop_), tr("Logging"));
}

void CAllControlsSheet::LoadFromDocument() {
  activity_settings_->LoadFromDocument();
  general_prop_->LoadFromDocument();
  protocol_prop_->LoadFromDocument();
  port_map_prop_->LoadFromDocument();
  log_settings_->LoadFromDocument();
}

bool CAllControlsSheet::TakeValues() {
  const std::pair<int, std::function<bool()>> pages[] = {
      {kActivityPage, [this] { return activity_settings_->TakeValues(); }},
      {kGeneralPage, [this] { return general_prop_->TakeValues(); }},
      {kLogPage, [this] { return log_settings_->TakeValues(); }},
  };
  for (const auto& [page, take] : pages) {
    if (!take()) {
      setCurrentIndex(page);
      return false;
    }
  }
  return true;
}

}  // namespace qlm::manager
