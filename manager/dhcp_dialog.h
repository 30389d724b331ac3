// The DHCP Configuration dialog: the address range, mask, lease time, and
// the gateway and name servers handed to the clients.
#pragma once

#include <QDialog>

#include "engine/config/protocol_settings.h"

class QCheckBox;
class QLineEdit;

namespace qlm::manager {

class CDhcpDialog : public QDialog {
  Q_OBJECT

 public:
  CDhcpDialog(const engine::DhcpSettings& settings, QWidget* parent = nullptr);

  engine::DhcpSettings Values() const { return values_; }

  // QDialog overrides
  // OK: the checks in order, each with its message; a refusal keeps the dialog.
  void accept() override;

  QLineEdit* From() const { return from_; }
  QLineEdit* To() const { return to_; }
  QLineEdit* Netmask() const { return netmask_; }
  QLineEdit* Gateway() const { return gateway_; }
  QLineEdit* Dns() const { return dns_; }
  QCheckBox* Unlimited() const { return unlimited_; }
  QLineEdit* Days() const { return days_; }

 private:
  void UpdateEnabling();

  engine::DhcpSettings values_;
  QLineEdit* from_;
  QLineEdit* to_;
  QLineEdit* netmask_;
  QCheckBox* verify_;
  QCheckBox* unlimited_;
  QLineEdit* days_;
  QLineEdit* hours_;
  QLineEdit* minutes_;
  QLineEdit* seconds_;
  QCheckBox* default_gateway_;
  QLineEdit* gateway_;
  QCheckBox* default_dns_;
  QLineEdit* dns_;
};

}  // namespace qlm::manager
