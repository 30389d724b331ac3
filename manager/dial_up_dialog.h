// The Dial-Up Networking dialog of the General page: the phone-book entry,
// user and password (typed twice), idle hang-up or keep-alive, dial on
// demand, hang up on exit and the remote dial control.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "engine/config/general_settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace qlm::manager {

class CDialUpDialog : public QDialog {
  Q_OBJECT

 public:
  CDialUpDialog(const engine::GeneralSettings& settings, const std::vector<std::string>& entries,
                QWidget* parent = nullptr);

  // The values entered, on top of `settings` (valid after an accepted OK).
  engine::GeneralSettings Values() const { return values_; }

  // QDialog overrides
  // OK: the field limits and the password check; a refusal keeps the dialog.
  void accept() override;

  QLineEdit* Password() const { return password_; }
  QLineEdit* Repeat() const { return repeat_; }
  QCheckBox* DisconnectIdle() const { return disconnect_idle_; }
  QCheckBox* KeepAlive() const { return keep_alive_; }
  QCheckBox* DialOnDemand() const { return dial_on_demand_; }
  QCheckBox* NoDns() const { return no_dns_; }
  QLineEdit* DisconnectMinutes() const { return disconnect_minutes_; }
  QLineEdit* KeepAliveMinutes() const { return keep_alive_minutes_; }

 private:
  void UpdateEnabling();

  engine::GeneralSettings values_;
  QComboBox* entry_;
  QLineEdit* user_;
  QLineEdit* password_;
  QLineEdit* repeat_;
  QCheckBox* disconnect_idle_;
  QLineEdit* disconnect_minutes_;
  QCheckBox* keep_alive_;
  QLineEdit* keep_alive_minutes_;
  QCheckBox* dial_on_demand_;
  QCheckBox* no_dns_;
  QCheckBox* disconnect_on_exit_;
  QCheckBox* remote_control_;
};

}  // namespace qlm::manager
