// The DNS Advanced Setting dialog: resolve directly or forward only, the
// cache time, broadcast, and the name-server list. Taken without checks.
#pragma once

#include <QDialog>

#include "engine/config/protocol_settings.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace qlm::manager {

class CDnsDialog : public QDialog {
  Q_OBJECT

 public:
  CDnsDialog(const engine::DnsSettings& settings, QWidget* parent = nullptr);

  engine::DnsSettings Values() const { return values_; }

  // QDialog overrides
  void accept() override;

 private:
  engine::DnsSettings values_;
  QRadioButton* direct_;
  QRadioButton* forward_;
  QLineEdit* ttl_;
  QCheckBox* broadcast_;
  QLineEdit* server_;
  QListWidget* servers_;
};

}  // namespace qlm::manager
