// The DNS Advanced Setting dialog.
#include "manager/dns_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "manager/settings_texts.h"

namespace qlm::manager {

CDnsDialog::CDnsDialog(const engine::DnsSettings& settings, QWidget* parent)
    : QDialog(parent),
      values_(settings),
      direct_(new QRadioButton(tr("Resolve domain name directly"), this)),
      forward_(new QRadioButton(tr("Forward only"), this)),
      ttl_(new QLineEdit(QString::number(settings.TTL), this)),
      broadcast_(new QCheckBox(tr("Enable broadcast"), this)),
      server_(new QLineEdit(this)),
      servers_(new QListWidget(this)) {
  setWindowTitle(tr("DNS Advanced Setting"));
  (settings.Forward != 0 ? forward_ : direct_)->setChecked(true);
  broadcast_->setChecked(settings.Broadcast != 0);
  for (const std::string& s : settings.Servers) {
    servers_->addItem(QString::fromStdString(s));
  }
  auto* add = new QPushButton(tr("Add"), this);
  auto* remove = new QPushButton(tr("Remove"), this);
  connect(add, &QPushButton::clicked, this, [this] {
    const QString text = server_->text().trimmed();
    if (!text.isEmpty() && servers_->findItems(text, Qt::MatchExactly).isEmpty()) {
      servers_->addItem(text);
    }
  });
  connect(remove, &QPushButton::clicked, this, [this] {
    for (QListWidgetItem* item : servers_->selectedItems()) {
      delete item;
    }
  });
  auto* grid = new QGridLayout;
  grid->addWidget(direct_, 0, 0, 1, 3);
  grid->addWidget(forward_, 1, 0, 1, 3);
  grid->addWidget(new QLabel(tr("TTL:"), this), 2, 0);
  grid->addWidget(ttl_, 2, 1);
  grid->addWidget(new QLabel(tr("seconds"), this), 2, 2);
  grid->addWidget(broadcast_, 3, 0, 1, 3);
  grid->addWidget(new QLabel(tr("DNS Server:"), this), 4, 0);
  grid->addWidget(server_, 4, 1);
  grid->addWidget(add, 4, 2);
  grid->addWidget(servers_, 5, 1);
  grid->addWidget(remove, 5, 2);
  auto* hint = new QLabel(tr(kDnsServerHint), this);
  hint->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(hint);
  layout->addWidget(buttons);
}

void CDnsDialog::accept() {
  values_.Forward = forward_->isChecked() ? 1 : 0;
  values_.Broadcast = broadcast_->isChecked() ? 1 : 0;
  bool ok = false;
  const uint32_t ttl = ttl_->text().trimmed().toUInt(&ok);
  if (ok) {
    values_.TTL = ttl;
  }
  values_.Servers.clear();
  for (int i = 0; i < servers_->count(); ++i) {
    values_.Servers.push_back(servers_->item(i)->text().toStdString());
  }
  QDialog::accept();
}

}  // namespace qlm::manager
