// The Email Proxy Setting dialog.
#include "manager/email_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "manager/message_boxes.h"
#include "manager/settings_checks.h"
#include "manager/settings_texts.h"

namespace qlm::manager {

namespace {
constexpr char kTitle[] = "Email Proxy Setting";
constexpr size_t kDelimiterMax = 1;
constexpr size_t kProxyPortMax = 5;
}  // namespace

CEmailDialog::CEmailDialog(const engine::EmailSettings& settings,
                           const std::vector<std::string>& listeners, QWidget* parent,
                           std::function<bool(const std::string&)> resolves)
    : QDialog(parent),
      values_(settings),
      resolves_(resolves ? std::move(resolves) : ResolvesHostName),
      pop3_server_(new QLineEdit(QString::fromStdString(settings.Pop3S_ip), this)),
      pop3_port_(new QLineEdit(QString::number(settings.Pop3Port), this)),
      delimiter_(new QLineEdit(QString(QChar(settings.Pop3Delimiter)), this)),
      smtp_server_(new QLineEdit(QString::fromStdString(settings.SmtpS_ip), this)),
      smtp_port_(new QLineEdit(QString::number(settings.SmtpPort), this)),
      proxy_port_(new QComboBox(this)) {
  setWindowTitle(tr(kTitle));
  std::vector<long> ports;
  for (const std::string& l : listeners) {
    ports.push_back(ListenerPort(l, 0));
  }
  std::sort(ports.begin(), ports.end());
  for (long p : ports) {
    proxy_port_->addItem(QString::number(p));
  }
  proxy_port_->setEditable(true);
  // The dialog always opens with the smallest port chosen.
  smallest_port_ = ports.empty() ? QString() : QString::number(ports.front());
  proxy_port_->setCurrentText(smallest_port_);

  auto* pop3 = new QGroupBox(tr("Incoming Mail (POP3)"), this);
  auto* pop3_form = new QFormLayout(pop3);
  pop3_form->addRow(tr("Default Remote Server:"), pop3_server_);
  pop3_form->addRow(tr("Remote Port:"), pop3_port_);
  pop3_form->addRow(new QLabel(tr("(Typical 110)"), this));
  pop3_form->addRow(tr("Delimiter Character:"), delimiter_);
  pop3_form->addRow(new QLabel(
      tr("For multiple pop3 servers, specify a user name of User#Server in the client."), this));
  auto* smtp = new QGroupBox(tr("Outgoing Mail (SMTP)"), this);
  auto* smtp_form = new QFormLayout(smtp);
  smtp_form->addRow(tr("Default Remote Server:"), smtp_server_);
  smtp_form->addRow(tr("Remote Port:"), smtp_port_);
  smtp_form->addRow(new QLabel(tr("(Typical 25)"), this));
  smtp_form->addRow(tr("Proxy Port:"), proxy_port_);
  smtp_form->addRow(
      new QLabel(tr("Proxy server accepts a smtp connection from this proxy port."), this));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pop3);
  layout->addWidget(smtp);
  layout->addWidget(buttons);
}

void CEmailDialog::accept() {
  const CMessageBoxes boxes(this);
  long pop3_port = 0;
  long smtp_port = 0;
  if (CheckResult r = CheckIntegerField(pop3_port_->text().toStdString(), 0, 65535, &pop3_port)) {
    boxes.Error(*r, kTitle);
    pop3_port_->setFocus();
    return;
  }
  if (CheckResult r = CheckTextLength(delimiter_->text().toStdString(), kDelimiterMax)) {
    boxes.Error(*r, kTitle);
    delimiter_->setFocus();
    return;
  }
  if (CheckResult r = CheckIntegerField(smtp_port_->text().toStdString(), 0, 65535, &smtp_port)) {
    boxes.Error(*r, kTitle);
    smtp_port_->setFocus();
    return;
  }
  const std::string proxy_port = proxy_port_->currentText().trimmed().toStdString();
  if (CheckResult r = CheckTextLength(proxy_port, kProxyPortMax)) {
    boxes.Error(*r, kTitle);
    proxy_port_->setFocus();
    return;
  }
  if (CheckResult r = CheckSmtpProxyPort(proxy_port)) {
    boxes.Error(*r, kTitle);
    proxy_port_->setCurrentText(smallest_port_);
    return;
  }
  const std::string pop3_server = pop3_server_->text().trimmed().toStdString();
  const std::string smtp_server = smtp_server_->text().trimmed().toStdString();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool pop3_ok = pop3_server.empty() || resolves_(pop3_server);
  QApplication::restoreOverrideCursor();
  if (!pop3_ok && !boxes.AskYesNo(kPop3UnresolvedQuestion, kInformationTitle)) {
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool smtp_ok = smtp_server.empty() || resolves_(smtp_server);
  QApplication::restoreOverrideCursor();
  if (!smtp_ok && !boxes.AskYesNo(kSmtpUnresolvedQuestion, kInformationTitle)) {
    return;
  }
  values_.Pop3S_ip = pop3_server;
  values_.SmtpS_ip = smtp_server;
  values_.Pop3Port = static_cast<uint32_t>(pop3_port);
  values_.SmtpPort = static_cast<uint32_t>(smtp_port);
  values_.SmtpProxyPort = static_cast<uint32_t>(std::strtoul(proxy_port.c_str(), nullptr, 10));
  const QString delimiter = delimiter_->text();
  values_.Pop3Delimiter = delimiter.isEmpty() ? '#' : delimiter.at(0).toLatin1();
  QDialog::accept();
}

}  // namespace qlm::manager
