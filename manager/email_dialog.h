// The Email Proxy Setting dialog: the default POP3 and SMTP servers, their
// ports, the user-name delimiter and the SMTP proxy port.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "engine/config/protocol_settings.h"

class QComboBox;
class QLineEdit;

namespace qlm::manager {

class CEmailDialog : public QDialog {
  Q_OBJECT

 public:
  // `listeners`: the daemon's address list, whose ports the proxy-port
  // choice offers. `resolves` looks a server name up (the default asks the
  // system's resolver).
  CEmailDialog(const engine::EmailSettings& settings, const std::vector<std::string>& listeners,
               QWidget* parent = nullptr,
               std::function<bool(const std::string&)> resolves = nullptr);

  engine::EmailSettings Values() const { return values_; }

  // QDialog overrides
  void accept() override;

  QLineEdit* Pop3Server() const { return pop3_server_; }
  QLineEdit* SmtpServer() const { return smtp_server_; }
  QComboBox* ProxyPort() const { return proxy_port_; }
  QLineEdit* Delimiter() const { return delimiter_; }

 private:
  engine::EmailSettings values_;
  std::function<bool(const std::string&)> resolves_;
  QString smallest_port_;
  QLineEdit* pop3_server_;
  QLineEdit* pop3_port_;
  QLineEdit* delimiter_;
  QLineEdit* smtp_server_;
  QLineEdit* smtp_port_;
  QComboBox* proxy_port_;
};

}  // namespace qlm::manager
