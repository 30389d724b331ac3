// The Port Mapping page: one row per mapping (name, destination, status,
// transport, remote port) with "Enable", "Disable", "Add", "Delete" and
// "Configuration".
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "manager/settings_document.h"

class QTreeWidget;

namespace qlm::manager {

class CPortConfigDialog;

std::array<std::string, 5> PortMapRow(const engine::PortMapSettings& map);

class CPortMapProp : public QWidget {
  Q_OBJECT

 public:
  CPortMapProp(CSettingsDocument* document, QWidget* parent = nullptr);

  void LoadFromDocument();
  QTreeWidget* List() const { return list_; }
  bool EnableSelected();
  bool DisableSelected();
  bool DeleteSelected();
  // "Add" and "Configuration"; `prepare` may work on the dialog before it shows.
  bool Add(const std::function<void(CPortConfigDialog&)>& prepare = nullptr);
  bool ConfigureSelected(const std::function<void(CPortConfigDialog&)>& prepare = nullptr);

 private:
  int Selected() const;
  bool Edit(size_t index, const std::function<void(CPortConfigDialog&)>& prepare);

  CSettingsDocument* document_;
  QTreeWidget* list_;
};

}  // namespace qlm::manager
