// The Dial-Up Networking dialog.
#include "manager/dial_up_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "manager/message_boxes.h"
#include "manager/settings_checks.h"
#include "manager/settings_texts.h"

namespace qlm::manager {

namespace {
constexpr char kTitle[] = "Dial-Up Networking";
// The idle times are kept in one byte by the system's own setting.
constexpr long kMinutesMax = 255;
}  // namespace

CDialUpDialog::CDialUpDialog(const engine::GeneralSettings& settings,
                             const std::vector<std::string>& entries, QWidget* parent)
    : QDialog(parent),
      values_(settings),
      entry_(new QComboBox(this)),
      user_(new QLineEdit(QString::fromStdString(settings.DialUpUserId), this)),
      password_(new QLineEdit(QString::fromStdString(settings.DialUpPasswd), this)),
      repeat_(new QLineEdit(QString::fromStdString(settings.DialUpPasswd), this)),
      disconnect_idle_(new QCheckBox(tr("Disconnect if idle for:"), this)),
      disconnect_minutes_(new QLineEdit(QString::number(settings.DisconnectIdleTime), this)),
      keep_alive_(new QCheckBox(tr("Keep alive if idle for:"), this)),
      keep_alive_minutes_(new QLineEdit(QString::number(settings.KeepAliveIdleTime), this)),
      dial_on_demand_(new QCheckBox(tr("Dial On Demand"), this)),
      no_dns_(new QCheckBox(tr("Don't dial Internet when receiving DNS requests"), this)),
      disconnect_on_exit_(new QCheckBox(tr("Disconnect on exit"), this)),
      remote_control_(new QCheckBox(tr("Enable Remote Control"), this)) {
  setWindowTitle(tr(kTitle));
  for (const std::string& e : entries) {
    entry_->addItem(QString::fromStdString(e));
  }
  const int stored = entry_->findText(QString::fromStdString(settings.DialUpProfile));
  if (stored >= 0) {
    entry_->setCurrentIndex(stored);
  } else if (settings.DialUpProfile.empty() && entry_->count() > 0) {
    entry_->setCurrentIndex(0);
  } else if (!settings.DialUpProfile.empty()) {
    entry_->addItem(QString::fromStdString(settings.DialUpProfile));
    entry_->setCurrentIndex(entry_->count() - 1);
  }
  password_->setEchoMode(QLineEdit::Password);
  repeat_->setEchoMode(QLineEdit::Password);
  disconnect_idle_->setChecked(settings.DisconnectIdle != 0);
  keep_alive_->setChecked(settings.KeepAliveIdle != 0);
  dial_on_demand_->setChecked(settings.AutoConnect != 0);
  no_dns_->setChecked(settings.NoDNSAutoConnect != 0);
  disconnect_on_exit_->setChecked(settings.Disconnect != 0);
  remote_control_->setChecked(settings.DialOnControl != 0);
  // The two idle choices exclude each other.
  connect(disconnect_idle_, &QCheckBox::toggled, this, [this](bool on) {
    if (on) {
      keep_alive_->setChecked(false);
    }
    UpdateEnabling();
  });
  connect(keep_alive_, &QCheckBox::toggled, this, [this](bool on) {
    if (on) {
      disconnect_idle_->setChecked(false);
    }
    UpdateEnabling();
  });
  connect(dial_on_demand_, &QCheckBox::toggled, this, [this] { UpdateEnabling(); });

  auto* form = new QFormLayout;
  form->addRow(tr("Dial-Up Connection:"), entry_);
  form->addRow(tr("User Login:"), user_);
  form->addRow(tr("Password:"), password_);
  form->addRow(tr("Repeat Password:"), repeat_);
  auto* idle = new QGridLayout;
  idle->addWidget(disconnect_idle_, 0, 0);
  idle->addWidget(disconnect_minutes_, 0, 1);
  idle->addWidget(new QLabel(tr("minutes"), this), 0, 2);
  idle->addWidget(keep_alive_, 1, 0);
  idle->addWidget(keep_alive_minutes_, 1, 1);
  idle->addWidget(new QLabel(tr("minutes"), this), 1, 2);
  idle->addWidget(new QLabel(tr(kKeepAliveHint), this), 2, 0, 1, 3);
  // Redial and the keep-alive window are shown but not kept.
  auto* redial = new QLineEdit(this);
  auto* wait = new QLineEdit(this);
  auto* between = new QLineEdit(this);
  auto* and_ = new QLineEdit(this);
  for (QWidget* w : {static_cast<QWidget*>(redial), static_cast<QWidget*>(wait),
                     static_cast<QWidget*>(between), static_cast<QWidget*>(and_)}) {
    w->setEnabled(false);
  }
  idle->addWidget(new QLabel(tr("Numbers of redial:"), this), 3, 0);
  idle->addWidget(redial, 3, 1);
  idle->addWidget(new QLabel(tr("Wait:"), this), 4, 0);
  idle->addWidget(wait, 4, 1);
  idle->addWidget(new QLabel(tr("seconds before redial"), this), 4, 2);
  idle->addWidget(new QLabel(tr("Keep alive only between:"), this), 5, 0);
  idle->addWidget(between, 5, 1);
  idle->addWidget(new QLabel(tr("and:"), this), 5, 2);
  idle->addWidget(and_, 5, 3);
  auto* hint = new QLabel(tr(kRemoteControlHint), this);
  hint->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(idle);
  layout->addWidget(dial_on_demand_);
  layout->addWidget(no_dns_);
  layout->addWidget(disconnect_on_exit_);
  layout->addWidget(remote_control_);
  layout->addWidget(hint);
  layout->addWidget(buttons);
  UpdateEnabling();
}

void CDialUpDialog::UpdateEnabling() {
  disconnect_minutes_->setEnabled(disconnect_idle_->isChecked());
  keep_alive_minutes_->setEnabled(keep_alive_->isChecked());
  no_dns_->setEnabled(dial_on_demand_->isChecked());
}

void CDialUpDialog::accept() {
  const CMessageBoxes boxes(this);
  long disconnect = 0;
  long keep = 0;
  if (CheckResult r = CheckIntegerField(disconnect_minutes_->text().toStdString(), 0, kMinutesMax,
                                        &disconnect)) {
    boxes.Error(*r, kTitle);
    disconnect_minutes_->setFocus();
    return;
  }
  if (CheckResult r =
          CheckIntegerField(keep_alive_minutes_->text().toStdString(), 0, kMinutesMax, &keep)) {
    boxes.Error(*r, kTitle);
    keep_alive_minutes_->setFocus();
    return;
  }
  if (CheckResult r =
          CheckPasswords(password_->text().toStdString(), repeat_->text().toStdString())) {
    boxes.Error(*r, kTitle);
    password_->setFocus();
    return;
  }
  values_.DialUpProfile = entry_->currentText().toStdString();
  values_.DialUpUserId = user_->text().toStdString();
  values_.DialUpPasswd = password_->text().toStdString();
  values_.DisconnectIdle = disconnect_idle_->isChecked();
  values_.DisconnectIdleTime = static_cast<uint32_t>(disconnect);
  values_.KeepAliveIdle = keep_alive_->isChecked();
  values_.KeepAliveIdleTime = static_cast<uint32_t>(keep);
  values_.AutoConnect = dial_on_demand_->isChecked();
  values_.NoDNSAutoConnect = no_dns_->isChecked();
  values_.Disconnect = disconnect_on_exit_->isChecked();
  values_.DialOnControl = remote_control_->isChecked();
  QDialog::accept();
}

}  // namespace qlm::manager
