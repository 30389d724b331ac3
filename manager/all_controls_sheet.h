// CAllControlsSheet: the property sheet (caption "Property") that is the
// main window's view: the pages Activity, General, Daemons, Port Mapping and
// Logging, in this order. The three settings pages hold their places,
// disabled, until the settings work fills them.
#pragma once

#include <QTabWidget>

namespace qlm::manager {

class CActivityModel;
class CActivityProp;
class CLogModel;
class CLogProp;

class CAllControlsSheet : public QTabWidget {
  Q_OBJECT

 public:
  enum Page { kActivityPage, kGeneralPage, kDaemonsPage, kPortMapPage, kLogPage };

  CAllControlsSheet(CActivityModel* activity, CLogModel* log, QWidget* parent = nullptr);

  CActivityProp* ActivityProp() const { return activity_prop_; }
  CLogProp* LogProp() const { return log_prop_; }

 private:
  CActivityProp* activity_prop_;
  CLogProp* log_prop_;
};

}  // namespace qlm::manager
