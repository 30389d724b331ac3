// The listener list of the daemon and port-mapping dialogs.
#include "manager/listener_list_box.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "manager/message_boxes.h"
#include "manager/settings_checks.h"

namespace qlm::manager {

namespace {
constexpr size_t kAddressMax = 16;
constexpr char kTitle[] = "Quillmar";
}  // namespace

CListenerListBox::CListenerListBox(const std::vector<std::string>& addresses,
                                   const std::string& explanation, QWidget* parent)
    : QGroupBox(tr("Proxy IP Address  : Proxy Port"), parent),
      address_(new QComboBox(this)),
      port_(new QLineEdit(this)),
      list_(new QListWidget(this)) {
  address_->setEditable(true);
  for (const std::string& a : addresses) {
    address_->addItem(QString::fromStdString(a));
  }
  address_->setObjectName("address");
  port_->setObjectName("port");
  list_->setObjectName("listeners");
  auto* add = new QPushButton(tr("Add"), this);
  auto* remove = new QPushButton(tr("Remove"), this);
  add->setObjectName("add");
  remove->setObjectName("remove");
  connect(add, &QPushButton::clicked, this, [this] { AddEntry(CMessageBoxes(this)); });
  connect(remove, &QPushButton::clicked, this, [this] { RemoveSelected(); });
  auto* text = new QLabel(QString::fromStdString(explanation), this);
  text->setWordWrap(true);
  auto* box = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  box->addLayout(grid);
  grid->addWidget(address_, 0, 0);
  grid->addWidget(new QLabel(":", this), 0, 1);
  grid->addWidget(port_, 0, 2);
  grid->addWidget(add, 0, 3);
  grid->addWidget(list_, 1, 0, 2, 3);
  grid->addWidget(remove, 1, 3);
  // Beside the grid, so the wrapped text gets the height it needs.
  box->addWidget(text);
  list_->setMaximumHeight(90);
}

void CListenerListBox::SetListeners(const std::vector<std::string>& listeners) {
  list_->clear();
  for (const std::string& l : listeners) {
    list_->addItem(QString::fromStdString(l));
  }
}

std::vector<std::string> CListenerListBox::Listeners() const {
  std::vector<std::string> out;
  for (int i = 0; i < list_->count(); ++i) {
    out.push_back(list_->item(i)->text().toStdString());
  }
  return out;
}

bool CListenerListBox::AddEntry(const CMessageBoxes& boxes) {
  const std::string address = address_->currentText().trimmed().toStdString();
  if (CheckResult refused = CheckTextLength(address, kAddressMax)) {
    boxes.Error(*refused, kTitle);
    address_->setFocus();
    return false;
  }
  long port = 0;
  if (CheckResult refused = CheckIntegerField(port_->text().toStdString(), 0, 65535, &port)) {
    boxes.Error(*refused, kTitle);
    port_->setFocus();
    return false;
  }
  if (address.empty()) {
    return false;
  }
  const QString text = QString::fromStdString(ListenerText(address, port));
  if (list_->findItems(text, Qt::MatchExactly).isEmpty()) {
    list_->addItem(text);
  }
  return true;
}

void CListenerListBox::RemoveSelected() {
  for (QListWidgetItem* item : list_->selectedItems()) {
    delete item;
  }
}

}  // namespace qlm::manager
