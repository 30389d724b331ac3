// The Port Configuration dialog.
#include "manager/port_config_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "manager/listener_list_box.h"
#include "manager/message_boxes.h"
#include "manager/settings_checks.h"
#include "manager/settings_document.h"
#include "manager/settings_texts.h"

namespace qlm::manager {

namespace {
constexpr char kTitle[] = "Port Configuration";
constexpr size_t kNameMax = 32;
constexpr size_t kServerMax = 100;
constexpr size_t kTransportMax = 3;
constexpr size_t kRuleMax = 32;
}  // namespace

CPortConfigDialog::CPortConfigDialog(const engine::PortMapSettings& map,
                                     const std::vector<engine::PortMapSettings>& maps,
                                     size_t index, QWidget* parent)
    : QDialog(parent),
      values_(map),
      maps_(maps),
      index_(index),
      resolves_(ResolvesHostName),
      name_(new QLineEdit(QString::fromStdString(map.name), this)),
      listeners_(new CListenerListBox(ProxyAddressChoices(), kMappingListenerExplanation, this)),
      server_(new QLineEdit(QString::fromStdString(map.remote_server), this)),
      remote_port_(new QLineEdit(QString::number(map.remote_port), this)),
      client_port_(new QLineEdit(QString::number(map.client_port), this)),
      out_port_(new QLineEdit(QString::number(map.out_port), this)),
      transport_(new QComboBox(this)),
      rule_(new QComboBox(this)),
      bi_udp_(new QCheckBox(tr("Wait for return messages"), this)) {
  setWindowTitle(tr(kTitle));
  setMinimumWidth(560);
  listeners_->SetListeners(map.listeners);
  transport_->setEditable(true);
  transport_->addItems({"tcp", "udp"});
  transport_->setCurrentText(QString::fromStdString(map.protocol.empty() ? "tcp" : map.protocol));
  rule_->setEditable(true);
  rule_->addItems({"general", "FTP"});
  rule_->setCurrentText(QString::fromStdString(map.rule.empty() ? "general" : map.rule));
  bi_udp_->setChecked(map.bi_udp != 0);
  auto* form = new QFormLayout;
  form->addRow(tr("Port Mapping's Name:"), name_);
  form->addRow(new QLabel(tr("(an unique name for Activity View)"), this));
  auto* destination = new QGroupBox(tr("Destination"), this);
  auto* d = new QFormLayout(destination);
  d->addRow(tr("Name or IP:"), server_);
  d->addRow(tr("Port:"), remote_port_);
  d->addRow(new QLabel(tr("(must be specified)"), this));
  auto* ports = new QFormLayout;
  ports->addRow(tr("Messages come from sender's Port:"), client_port_);
  ports->addRow(tr("Proxy server uses this Port:"), out_port_);
  ports->addRow(new QLabel(tr("to send messages"), this));
  ports->addRow(new QLabel(tr("Both normally are 0 because they can be any number."), this));
  ports->addRow(tr("Transport:"), transport_);
  ports->addRow(tr("Rule:"), rule_);
  ports->addRow(tr("Bi-directional UDP mapping:"), bi_udp_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(listeners_);
  layout->addWidget(destination);
  layout->addLayout(ports);
  layout->addWidget(buttons);
}

bool CPortConfigDialog::TakeFields(engine::PortMapSettings* map) {
  const CMessageBoxes boxes(this);
  struct Text {
    QWidget* field;
    std::string text;
    size_t max;
  };
  const Text texts[] = {
      {name_, name_->text().trimmed().toStdString(), kNameMax},
      {server_, server_->text().trimmed().toStdString(), kServerMax},
      {transport_, transport_->currentText().trimmed().toStdString(), kTransportMax},
      {rule_, rule_->currentText().trimmed().toStdString(), kRuleMax},
  };
  for (const Text& t : texts) {
    if (CheckResult r = CheckTextLength(t.text, t.max)) {
      boxes.Error(*r, kTitle);
      t.field->setFocus();
      return false;
    }
  }
  long numbers[3] = {};
  QLineEdit* edits[3] = {remote_port_, client_port_, out_port_};
  for (int i = 0; i < 3; ++i) {
    if (CheckResult r = CheckIntegerField(edits[i]->text().toStdString(), 0, 65535, &numbers[i])) {
      boxes.Error(*r, kTitle);
      edits[i]->setFocus();
      return false;
    }
  }
  map->name = texts[0].text;
  map->remote_server = texts[1].text;
  map->protocol = texts[2].text == "udp" ? "udp" : "tcp";
  map->rule = texts[3].text;
  map->remote_port = static_cast<uint32_t>(numbers[0]);
  map->client_port = static_cast<uint32_t>(numbers[1]);
  map->out_port = static_cast<uint32_t>(numbers[2]);
  map->bi_udp = bi_udp_->isChecked();
  map->listeners = listeners_->Listeners();
  return true;
}

void CPortConfigDialog::accept() {
  engine::PortMapSettings map = values_;
  if (!TakeFields(&map)) {
    return;
  }
  const CMessageBoxes boxes(this);
  CheckResult refused = CheckPortMap(map);
  if (!refused) {
    refused = CheckPortMapConflicts(maps_, index_, map);
  }
  if (refused) {
    boxes.Error(*refused, kTitle);
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool resolved = resolves_(map.remote_server);
  QApplication::restoreOverrideCursor();
  if (!resolved && !boxes.AskYesNo(kDestinationUnresolvedQuestion, kInformationTitle)) {
    return;
  }
  if (map.enable == 0 && boxes.AskYesNo(kEnableMappingQuestion, kTitle)) {
    map.enable = 1;
  }
  values_ = map;
  QDialog::accept();
}

}  // namespace qlm::manager
