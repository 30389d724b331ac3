// The Daemon Configuration dialog.
#include "manager/daemon_config_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "manager/dhcp_dialog.h"
#include "manager/dns_dialog.h"
#include "manager/email_dialog.h"
#include "manager/listener_list_box.h"
#include "manager/message_boxes.h"
#include "manager/settings_checks.h"
#include "manager/settings_document.h"
#include "manager/settings_texts.h"

namespace qlm::manager {

namespace {
constexpr char kTitle[] = "Daemon Configuration";
}  // namespace

std::string DaemonDescription(const std::string& name) {
  if (name == "Telnet") {
    return kTelnetDescription;
  }
  if (name == "FTP") {
    return kFtpDescription;
  }
  if (name == "Email") {
    return kEmailDescription;
  }
  if (name == "DNS") {
    return kDnsDescription;
  }
  if (name == "Newsgroups") {
    return kNewsDescription;
  }
  if (name == "DHCP") {
    return kDhcpDescription;
  }
  return std::string(kOtherDescriptionPrefix) + name + kOtherDescriptionSuffix;
}

CDaemonConfigDialog::CDaemonConfigDialog(const std::vector<engine::ProtocolSettings>& daemons,
                                         size_t index, QWidget* parent)
    : QDialog(parent),
      daemons_(daemons),
      index_(index),
      values_(daemons.at(index)),
      listeners_(new CListenerListBox(ProxyAddressChoices(), kListenerExplanation, this)),
      advanced_(new QPushButton(tr("Advanced..."), this)) {
  setWindowTitle(tr(kTitle));
  setMinimumWidth(560);
  auto* description = new QLabel(QString::fromStdString(DaemonDescription(values_.name)), this);
  description->setWordWrap(true);
  auto* name = new QLineEdit(QString::fromStdString(values_.name), this);
  name->setReadOnly(true);
  auto* security = new QCheckBox(tr("Security"), this);
  security->setChecked(values_.security != 0);
  security->setEnabled(false);
  listeners_->SetListeners(values_.listeners);
  listeners_->PortEdit()->setText(QString::number(values_.default_port));
  const bool has_advanced =
      values_.name == "Email" || values_.name == "DNS" || values_.name == "DHCP";
  advanced_->setObjectName("advanced");
  connect(advanced_, &QPushButton::clicked, this, [this] { OpenAdvanced(); });
  auto* form = new QFormLayout;
  form->addRow(tr("Daemon Name:"), name);
  form->addRow(security);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->addButton(advanced_, QDialogButtonBox::ActionRole);
  // Only the Email, DNS and DHCP daemons have settings of their own.
  advanced_->setVisible(has_advanced);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(description);
  layout->addLayout(form);
  layout->addWidget(listeners_);
  layout->addWidget(buttons);
}

bool CDaemonConfigDialog::OpenAdvanced() {
  if (values_.name == "Email") {
    const std::vector<std::string> listeners = listeners_->Listeners();
    if (CheckResult r = CheckEmailAdvancedOpen(listeners)) {
      CMessageBoxes(this).Error(*r, kTitle);
      return false;
    }
    const engine::EmailSettings* email = values_.Email();
    CEmailDialog dialog(email ? *email : engine::EmailSettings{}, listeners, this, resolves_);
    if (dialog.exec() == QDialog::Accepted) {
      values_.extra = dialog.Values();
      return true;
    }
  } else if (values_.name == "DNS") {
    const engine::DnsSettings* dns = values_.Dns();
    CDnsDialog dialog(dns ? *dns : engine::DnsSettings{}, this);
    if (dialog.exec() == QDialog::Accepted) {
      values_.extra = dialog.Values();
      return true;
    }
  } else if (values_.name == "DHCP") {
    const engine::DhcpSettings* dhcp = values_.Dhcp();
    CDhcpDialog dialog(dhcp ? *dhcp : engine::DhcpSettings{}, this);
    if (dialog.exec() == QDialog::Accepted) {
      values_.extra = dialog.Values();
      return true;
    }
  }
  return false;
}

void CDaemonConfigDialog::accept() {
  const std::vector<std::string> listeners = listeners_->Listeners();
  const CMessageBoxes boxes(this);
  CheckResult refused = CheckDaemonListeners(values_.name, listeners);
  if (!refused) {
    refused = CheckDaemonListenerConflicts(daemons_, index_, listeners);
  }
  if (refused) {
    boxes.Error(*refused, kTitle);
    return;
  }
  values_.listeners = listeners;
  if (values_.enable == 0 && boxes.AskYesNo(kEnableDaemonQuestion, kTitle)) {
    // Enabling follows the page's "Enable" rule.
    if (CheckResult r = CheckDaemonEnable(values_)) {
      boxes.Error(*r, kTitle);
    } else {
      values_.enable = 1;
    }
  }
  QDialog::accept();
}

}  // namespace qlm::manager
