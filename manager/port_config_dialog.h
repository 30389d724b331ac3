// The Port Configuration dialog: a mapping's name, its address list, the
// destination, the client and outward ports, the transport, the rule and
// two-way datagrams.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "engine/config/port_map_settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace qlm::manager {

class CListenerListBox;

class CPortConfigDialog : public QDialog {
  Q_OBJECT

 public:
  // `maps` and `index`: every mapping and the one edited (`index` equal to
  // maps.size() for a new one); a name or address another mapping holds is
  // refused.
  CPortConfigDialog(const engine::PortMapSettings& map,
                    const std::vector<engine::PortMapSettings>& maps, size_t index,
                    QWidget* parent = nullptr);

  engine::PortMapSettings Values() const { return values_; }

  // QDialog overrides
  // OK: field limits, then the checks in order; a refusal keeps the dialog.
  void accept() override;

  void SetResolver(std::function<bool(const std::string&)> resolves) {
    resolves_ = std::move(resolves);
  }
  QLineEdit* NameEdit() const { return name_; }
  QLineEdit* ServerEdit() const { return server_; }
  QLineEdit* RemotePortEdit() const { return remote_port_; }
  QComboBox* TransportCombo() const { return transport_; }
  QComboBox* RuleCombo() const { return rule_; }
  CListenerListBox* ListenerBox() const { return listeners_; }

 private:
  // The field limits; false (with the message, focus on the field) when refused.
  bool TakeFields(engine::PortMapSettings* map);

  engine::PortMapSettings values_;
  const std::vector<engine::PortMapSettings>& maps_;
  size_t index_;
  std::function<bool(const std::string&)> resolves_;
  QLineEdit* name_;
  CListenerListBox* listeners_;
  QLineEdit* server_;
  QLineEdit* remote_port_;
  QLineEdit* client_port_;
  QLineEdit* out_port_;
  QComboBox* transport_;
  QComboBox* rule_;
  QCheckBox* bi_udp_;
};

}  // namespace qlm::manager
