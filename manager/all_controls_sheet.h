// CAllControlsSheet: the property sheet (caption "Property") that is the
// main window's view: the pages Activity, General, Daemons, Port Mapping and
// Logging, in this order, each editing its group of the settings document.
#pragma once

#include <QTabWidget>
#include <functional>
#include <string>
#include <vector>

namespace qlm::manager {

class CActivityModel;
class CActivityProp;
class CActivitySettingsBox;
class CGeneralProp;
class CLogModel;
class CLogProp;
class CLogSettingsBox;
class CPortMapProp;
class CProtocolProp;
class CSettingsDocument;

class CAllControlsSheet : public QTabWidget {
  Q_OBJECT

 public:
  enum Page { kActivityPage, kGeneralPage, kDaemonsPage, kPortMapPage, kLogPage };

  // `entries` lists the dial-up phone-book entries for the General page.
  CAllControlsSheet(CActivityModel* activity, CLogModel* log, CSettingsDocument* document,
                    std::function<std::vector<std::string>()> entries,
                    QWidget* parent = nullptr);

  // Every page shows the document's values again.
  void LoadFromDocument();
  // Every page hands its values to the document; on a refusal the page with
  // the refused field comes to the front and false is returned.
  bool TakeValues();

  CActivityProp* ActivityProp() const { return activity_prop_; }
  CLogProp* LogProp() const { return log_prop_; }
  CActivitySettingsBox* ActivitySettings() const { return activity_settings_; }
  CLogSettingsBox* LogSettings() const { return log_settings_; }
  CGeneralProp* GeneralProp() const { return general_prop_; }
  CProtocolProp* ProtocolProp() const { return protocol_prop_; }
  CPortMapProp* PortMapProp() const { return port_map_prop_; }

 private:
  CActivitySettingsBox* activity_settings_;
  CActivityProp* activity_prop_;
  CGeneralProp* general_prop_;
  CProtocolProp* protocol_prop_;
  CPortMapProp* port_map_prop_;
  CLogSettingsBox* log_settings_;
  CLogProp* log_prop_;
};

}  // namespace qlm::manager
