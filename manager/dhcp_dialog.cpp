// The DHCP Configuration dialog.
#include "manager/dhcp_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "manager/message_boxes.h"
#include "manager/settings_checks.h"
#include "manager/settings_texts.h"

namespace qlm::manager {

namespace {
constexpr char kTitle[] = "DHCP Configuration";
constexpr long kDaySeconds = 86400;
}  // namespace

CDhcpDialog::CDhcpDialog(const engine::DhcpSettings& s, QWidget* parent)
    : QDialog(parent),
      values_(s),
      from_(new QLineEdit(QString::fromStdString(s.FromAddr), this)),
      to_(new QLineEdit(QString::fromStdString(s.ToAddr), this)),
      netmask_(new QLineEdit(QString::fromStdString(s.Netmask), this)),
      verify_(new QCheckBox(tr("Verify that newly allocated addresses are not already in use"),
                            this)),
      unlimited_(new QCheckBox(tr("Unlimited IP Address Lease Time"), this)),
      days_(new QLineEdit(this)),
      hours_(new QLineEdit(this)),
      minutes_(new QLineEdit(this)),
      seconds_(new QLineEdit(this)),
      default_gateway_(new QCheckBox(tr("Use This Host as Client's Gateway"), this)),
      gateway_(new QLineEdit(QString::fromStdString(s.Gateway), this)),
      default_dns_(new QCheckBox(tr("Use This Host as Client's DNS Server"), this)),
      dns_(new QLineEdit(QString::fromStdString(s.DNS), this)) {
  setWindowTitle(tr(kTitle));
  verify_->setChecked(s.VerifyIP != 0);
  const bool unlimited = s.LeasingTime <= 0;
  unlimited_->setChecked(unlimited);
  const long lease = unlimited ? 0 : s.LeasingTime;
  days_->setText(QString::number(lease / kDaySeconds));
  hours_->setText(QString::number(lease % kDaySeconds / 3600));
  minutes_->setText(QString::number(lease % 3600 / 60));
  seconds_->setText(QString::number(lease % 60));
  default_gateway_->setChecked(s.DefaultGateway != 0);
  default_dns_->setChecked(s.DefaultDNS != 0);
  connect(unlimited_, &QCheckBox::toggled, this, [this] { UpdateEnabling(); });

  auto* range = new QGroupBox(tr("IP Address Range"), this);
  auto* r = new QGridLayout(range);
  r->addWidget(new QLabel(tr("From:"), this), 0, 0);
  r->addWidget(from_, 0, 1);
  r->addWidget(new QLabel(tr("To:"), this), 0, 2);
  r->addWidget(to_, 0, 3);
  r->addWidget(new QLabel(tr("Subnet Mask:"), this), 1, 0);
  r->addWidget(netmask_, 1, 1);
  auto* lease_box = new QGridLayout;
  lease_box->addWidget(unlimited_, 0, 0, 1, 8);
  lease_box->addWidget(new QLabel(tr("IP Address Lease Time:"), this), 1, 0, 1, 8);
  int column = 0;
  for (auto [edit, unit] : {std::pair{days_, "days"}, std::pair{hours_, "hrs"},
                            std::pair{minutes_, "mins"}, std::pair{seconds_, "secs"}}) {
    lease_box->addWidget(edit, 2, column++);
    lease_box->addWidget(new QLabel(tr(unit), this), 2, column++);
  }
  auto* clients = new QGridLayout;
  clients->addWidget(default_gateway_, 0, 0);
  clients->addWidget(new QLabel(tr("Or:"), this), 0, 1);
  clients->addWidget(gateway_, 0, 2);
  clients->addWidget(default_dns_, 1, 0);
  clients->addWidget(new QLabel(tr("Or:"), this), 1, 1);
  clients->addWidget(dns_, 1, 2);
  auto* hint = new QLabel(tr(kDhcpListHint), this);
  hint->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(range);
  layout->addWidget(verify_);
  layout->addLayout(lease_box);
  layout->addLayout(clients);
  layout->addWidget(hint);
  layout->addWidget(buttons);
  UpdateEnabling();
}

void CDhcpDialog::UpdateEnabling() {
  for (QLineEdit* e : {days_, hours_, minutes_, seconds_}) {
    e->setEnabled(!unlimited_->isChecked());
  }
}

void CDhcpDialog::accept() {
  DhcpFields f;
  f.from = from_->text().trimmed().toStdString();
  f.to = to_->text().trimmed().toStdString();
  f.netmask = netmask_->text().trimmed().toStdString();
  f.gateway = gateway_->text().trimmed().toStdString();
  f.dns = dns_->text().trimmed().toStdString();
  const CMessageBoxes boxes(this);
  if (CheckResult r = CheckDhcp(f)) {
    boxes.Error(*r, kTitle);
    return;
  }
  long lease = -1;
  if (!unlimited_->isChecked()) {
    long parts[4] = {};
    const long limits[4] = {24855, 23, 59, 59};  // at most 2^31 - 1 seconds in all
    QLineEdit* edits[4] = {days_, hours_, minutes_, seconds_};
    for (int i = 0; i < 4; ++i) {
      if (CheckResult r =
              CheckIntegerField(edits[i]->text().toStdString(), 0, limits[i], &parts[i])) {
        boxes.Error(*r, kTitle);
        edits[i]->setFocus();
        return;
      }
    }
    lease = parts[0] * kDaySeconds + parts[1] * 3600 + parts[2] * 60 + parts[3];
    if (lease > 0x7FFFFFFFL || lease == 0) {
      lease = -1;  // nothing entered: no limit, as a stored 0 reads
    }
  }
  values_.FromAddr = f.from;
  values_.ToAddr = f.to;
  values_.Netmask = f.netmask;
  values_.Gateway = f.gateway;
  values_.DNS = f.dns;
  values_.VerifyIP = verify_->isChecked();
  values_.DefaultGateway = default_gateway_->isChecked();
  values_.DefaultDNS = default_dns_->isChecked();
  values_.LeasingTime = static_cast<int32_t>(lease);
  QDialog::accept();
}

}  // namespace qlm::manager
