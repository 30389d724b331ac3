// The Daemon Configuration dialog: the daemon's description, its name, the
// (disabled) security switch, its address list, and "Advanced..." for the
// Email, DNS and DHCP daemons' own settings.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "engine/config/protocol_settings.h"

class QPushButton;

namespace qlm::manager {

class CListenerListBox;

// The description line shown for a daemon name.
std::string DaemonDescription(const std::string& name);

class CDaemonConfigDialog : public QDialog {
  Q_OBJECT

 public:
  // `daemons` and `index`: every daemon and the one edited (an address
  // another daemon holds is refused).
  CDaemonConfigDialog(const std::vector<engine::ProtocolSettings>& daemons, size_t index,
                      QWidget* parent = nullptr);

  engine::ProtocolSettings Values() const { return values_; }
  CListenerListBox* ListenerBox() const { return listeners_; }
  QPushButton* AdvancedButton() const { return advanced_; }

  // "Advanced..." (Email, DNS, DHCP); true when its dialog was accepted.
  bool OpenAdvanced();
  // The name lookup of the Email dialog (tests give their own).
  void SetResolver(std::function<bool(const std::string&)> resolves) {
    resolves_ = std::move(resolves);
  }

  // QDialog overrides
  // OK: the address list's checks; a refusal keeps the dialog.
  void accept() override;

 private:
  const std::vector<engine::ProtocolSettings>& daemons_;
  size_t index_;
  engine::ProtocolSettings values_;
  CListenerListBox* listeners_;
  QPushButton* advanced_;
  std::function<bool(const std::string&)> resolves_;
};

}  // namespace qlm::manager
