// The property sheet and its pages.
#include "manager/all_controls_sheet.h"

#include "manager/activity_prop.h"
#include "manager/log_prop.h"
#include "manager/manager_texts.h"

namespace qlm::manager {

CAllControlsSheet::CAllControlsSheet(CActivityModel* activity, CLogModel* log, QWidget* parent)
    : QTabWidget(parent),
      activity_prop_(new CActivityProp(activity, this)),
      log_prop_(new CLogProp(log, this)) {
  setWindowTitle(kPropertyCaption);
  addTab(activity_prop_, tr("Activity"));
  for (const char* caption : {"General", "Daemons", "Port Mapping"}) {
    const int index = addTab(new QWidget(this), tr(caption));
    setTabEnabled(index, false);
  }
  addTab(log_prop_, tr("Logging"));
}

}  // namespace qlm::manager
