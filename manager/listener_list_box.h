// The "Proxy IP Address  : Proxy Port" list of the daemon and port-mapping
// dialogs: an address combo (the host's addresses and "127.0.0.1"), a port
// number, "Add" and "Remove".
#pragma once

#include <QGroupBox>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;

namespace qlm::manager {

class CMessageBoxes;

class CListenerListBox : public QGroupBox {
  Q_OBJECT

 public:
  CListenerListBox(const std::vector<std::string>& addresses, const std::string& explanation,
                   QWidget* parent = nullptr);

  void SetListeners(const std::vector<std::string>& listeners);
  std::vector<std::string> Listeners() const;
  // The entry fields, for the port default and tests.
  QComboBox* AddressCombo() const { return address_; }
  QLineEdit* PortEdit() const { return port_; }
  // "Add": the field limits first (address at most 16 characters, port 0 to
  // 65535), with their message; false when refused.
  bool AddEntry(const CMessageBoxes& boxes);
  void RemoveSelected();

 private:
  QComboBox* address_;
  QLineEdit* port_;
  QListWidget* list_;
};

}  // namespace qlm::manager
