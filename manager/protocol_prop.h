// The Daemons page: one row per daemon (name, status, first address, port)
// with "Enable", "Disable" and "Configuration".
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "manager/settings_document.h"

class QTreeWidget;

namespace qlm::manager {

// The four column texts of a daemon's row.
std::array<std::string, 4> DaemonRow(const engine::ProtocolSettings& daemon);

class CProtocolProp : public QWidget {
  Q_OBJECT

 public:
  CProtocolProp(CSettingsDocument* document, QWidget* parent = nullptr);

  void LoadFromDocument();
  QTreeWidget* List() const { return list_; }
  // The buttons, on the selected row; false when refused or nothing is selected.
  bool EnableSelected();
  bool DisableSelected();
  // Opens the Daemon Configuration dialog; `prepare` (tests, the test hooks)
  // may work on it before it is shown.
  bool ConfigureSelected(const std::function<void(class CDaemonConfigDialog&)>& prepare = nullptr);
  // Selects the row of daemon `name`; false when there is none.
  bool Select(const std::string& name);

 private:
  int Selected() const;
  void RefreshRow(int row);

  CSettingsDocument* document_;
  QTreeWidget* list_;
};

}  // namespace qlm::manager
