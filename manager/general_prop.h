// The General page: the service address, the dial-up switches with their
// dialog, and the start-up and update switches.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "manager/settings_document.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace qlm::manager {

class CGeneralProp : public QWidget {
  Q_OBJECT

 public:
  // `entries` lists the dial-up phone-book entries.
  CGeneralProp(CSettingsDocument* document, std::function<std::vector<std::string>()> entries,
               QWidget* parent = nullptr);

  // Shows the document's values.
  void LoadFromDocument();
  // Takes the values into the document; false (with a message) when refused.
  bool TakeValues();
  // "Settings...": the dialog, shown again after a refused OK; true when accepted.
  bool OpenDialUpSettings();

  QComboBox* AddressCombo() const { return address_; }
  QCheckBox* UseDialUp() const { return use_dial_up_; }
  QCheckBox* DialUpManaged() const { return managed_; }
  QPushButton* SettingsButton() const { return settings_; }
  QLabel* DialUpNote() const { return dial_up_note_; }

 private:
  void UpdateEnabling();
  void OnUseDialUpClicked(bool on);

  CSettingsDocument* document_;
  std::function<std::vector<std::string>()> entries_;
  QComboBox* address_;
  QCheckBox* use_default_ip_;
  QCheckBox* use_dial_up_;
  QCheckBox* managed_;
  QPushButton* settings_;
  QCheckBox* auto_load_;
  QCheckBox* auto_update_;
  QCheckBox* auto_run_;
  QLabel* dial_up_note_;
};

}  // namespace qlm::manager
