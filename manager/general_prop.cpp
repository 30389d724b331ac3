// The General page.
#include "manager/general_prop.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "manager/dial_up_dialog.h"
#include "manager/message_boxes.h"
#include "manager/settings_checks.h"
#include "manager/settings_texts.h"

namespace qlm::manager {

namespace {
constexpr char kTitle[] = "Quillmar";
constexpr size_t kAddressMax = 16;
constexpr char kNoDialUpNote[] =
    "Dial-up networking is not available on this computer (no pppd program was found), so the "
    "dial-up settings are off.";
}  // namespace

CGeneralProp::CGeneralProp(CSettingsDocument* document,
                           std::function<std::vector<std::string>()> entries, QWidget* parent)
    : QWidget(parent),
      document_(document),
      entries_(std::move(entries)),
      address_(new QComboBox(this)),
      use_default_ip_(
          new QCheckBox(tr("Use this proxy IP for all daemons and port mappings"), this)),
      use_dial_up_(new QCheckBox(tr("Use Dial-Up Networking to connect the Internet"), this)),
      managed_(new QCheckBox(
          tr("Quillmar manages your Dial-Up Networking (Default is Windows)"), this)),
      settings_(new QPushButton(tr("Settings..."), this)),
      auto_load_(new QCheckBox(tr("Run Quillmar manager in the taskbar when logon"), this)),
      auto_update_(new QCheckBox(tr("Auto check the updated version"), this)),
      auto_run_(new QCheckBox(tr("Run Quillmar proxy service during system startup"), this)),
      dial_up_note_(new QLabel(tr(kNoDialUpNote), this)) {
  address_->setEditable(true);
  address_->setObjectName("DefaultIP");
  use_dial_up_->setObjectName("UseDialUp");
  managed_->setObjectName("DialUpManaged");
  settings_->setObjectName("DialUpSettings");
  dial_up_note_->setWordWrap(true);
  connect(use_dial_up_, &QCheckBox::clicked, this, [this](bool on) { OnUseDialUpClicked(on); });
  connect(managed_, &QCheckBox::toggled, this, [this] { UpdateEnabling(); });
  connect(settings_, &QPushButton::clicked, this, [this] { OpenDialUpSettings(); });
  auto* form = new QFormLayout;
  form->addRow(tr("Proxy Server IP:"), address_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(use_default_ip_);
  layout->addSpacing(8);
  layout->addWidget(use_dial_up_);
  layout->addWidget(managed_);
  layout->addWidget(settings_, 0, Qt::AlignLeft);
  layout->addWidget(dial_up_note_);
  layout->addSpacing(8);
  layout->addWidget(auto_load_);
  layout->addWidget(auto_update_);
  layout->addWidget(auto_run_);
  layout->addStretch();
  LoadFromDocument();
}

void CGeneralProp::LoadFromDocument() {
  const engine::GeneralSettings& g = document_->general;
  address_->clear();
  for (const std::string& a : ProxyAddressChoices()) {
    address_->addItem(QString::fromStdString(a));
  }
  address_->setCurrentText(QString::fromStdString(g.DefaultIP));
  use_default_ip_->setChecked(g.UseDefaultIP != 0);
  use_dial_up_->setChecked(g.UseDialUp != 0);
  managed_->setChecked(g.DialUpManaged != 0);
  auto_load_->setChecked(g.AutoLoad != 0);
  auto_update_->setChecked(g.AutoUpdate != 0);
  auto_run_->setChecked(g.AutoRun != 0);
  dial_up_note_->setVisible(!document_->DialUpAvailable());
  UpdateEnabling();
}

void CGeneralProp::UpdateEnabling() {
  managed_->setEnabled(use_dial_up_->isChecked());
  settings_->setEnabled(use_dial_up_->isChecked() && managed_->isChecked());
}

void CGeneralProp::OnUseDialUpClicked(bool on) {
  if (on && !document_->DialUpAvailable()) {
    CMessageBoxes(this).Error(kDialUpMissingText, kTitle);
    use_dial_up_->setChecked(false);
  }
  UpdateEnabling();
}

bool CGeneralProp::OpenDialUpSettings() {
  CDialUpDialog dialog(document_->general, entries_ ? entries_() : std::vector<std::string>{},
                       this);
  if (dialog.exec() != QDialog::Accepted) {
    return false;
  }
  const engine::GeneralSettings values = dialog.Values();
  engine::GeneralSettings& g = document_->general;
  g.DialUpProfile = values.DialUpProfile;
  g.DialUpUserId = values.DialUpUserId;
  g.DialUpPasswd = values.DialUpPasswd;
  g.DisconnectIdle = values.DisconnectIdle;
  g.DisconnectIdleTime = values.DisconnectIdleTime;
  g.KeepAliveIdle = values.KeepAliveIdle;
  g.KeepAliveIdleTime = values.KeepAliveIdleTime;
  g.AutoConnect = values.AutoConnect;
  g.NoDNSAutoConnect = values.NoDNSAutoConnect;
  g.Disconnect = values.Disconnect;
  g.DialOnControl = values.DialOnControl;
  return true;
}

bool CGeneralProp::TakeValues() {
  const std::string address = address_->currentText().trimmed().toStdString();
  if (CheckResult r = CheckTextLength(address, kAddressMax)) {
    CMessageBoxes(this).Error(*r, kTitle);
    address_->setFocus();
    return false;
  }
  engine::GeneralSettings& g = document_->general;
  g.DefaultIP = address;
  g.UseDefaultIP = use_default_ip_->isChecked();
  g.UseDialUp = use_dial_up_->isChecked();
  g.DialUpManaged = managed_->isChecked();
  g.AutoLoad = auto_load_->isChecked();
  g.AutoUpdate = auto_update_->isChecked();
  g.AutoRun = auto_run_->isChecked();
  return true;
}

}  // namespace qlm::manager
