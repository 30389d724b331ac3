// The Activity and Logging pages' settings.
#include "manager/settings_pages.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "manager/message_boxes.h"
#include "manager/settings_checks.h"
#include "manager/settings_texts.h"

namespace qlm::manager {

namespace {
constexpr char kTitle[] = "Quillmar";
constexpr long kMaxConnectionsLimit = 2000;
constexpr long kMaxLinesLimit = 50000;
}  // namespace

CActivitySettingsBox::CActivitySettingsBox(CSettingsDocument* document, QWidget* parent)
    : QWidget(parent),
      document_(document),
      enable_(new QCheckBox(tr("Activity Enable:"), this)),
      max_connections_(new QLineEdit(this)) {
  enable_->setObjectName("ActivityEnable");
  max_connections_->setObjectName("MaxConnections");
  max_connections_->setMaximumWidth(80);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(enable_);
  layout->addSpacing(20);
  layout->addWidget(new QLabel(tr("Max. Simultaneous Connections:"), this));
  layout->addWidget(max_connections_);
  layout->addStretch();
  LoadFromDocument();
}

void CActivitySettingsBox::LoadFromDocument() {
  enable_->setChecked(document_->activity.Enable != 0);
  max_connections_->setText(QString::number(document_->activity.MaxConnections));
}

bool CActivitySettingsBox::TakeValues() {
  long value = 0;
  if (CheckResult r = CheckIntegerField(max_connections_->text().toStdString(), 0,
                                        kMaxConnectionsLimit, &value)) {
    CMessageBoxes(this).Error(*r, kTitle);
    max_connections_->setFocus();
    return false;
  }
  document_->activity.Enable = enable_->isChecked();
  document_->activity.MaxConnections = static_cast<uint32_t>(value);
  return true;
}

CLogSettingsBox::CLogSettingsBox(CSettingsDocument* document, QWidget* parent)
    : QWidget(parent),
      document_(document),
      enable_(new QCheckBox(tr("Log Enable"), this)),
      file_name_(new QLineEdit(this)),
      max_lines_(new QLineEdit(this)) {
  enable_->setObjectName("LogEnable");
  file_name_->setObjectName("FileName");
  max_lines_->setObjectName("MaxLines");
  max_lines_->setMaximumWidth(80);
  auto* browse = new QPushButton(tr("..."), this);
  browse->setMaximumWidth(30);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getSaveFileName(this, tr("Log File"), file_name_->text(),
                                                      tr(kLogFileFilter), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (!file.isEmpty()) {
      file_name_->setText(file);
    }
  });
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(enable_);
  layout->addWidget(new QLabel(tr("(Enable logging may have minor perfomance impact.)"), this));
  layout->addSpacing(12);
  layout->addWidget(new QLabel(tr("File Name:"), this));
  layout->addWidget(file_name_, 1);
  layout->addWidget(browse);
  layout->addWidget(new QLabel(tr("Maximum Lines:"), this));
  layout->addWidget(max_lines_);
  LoadFromDocument();
}

void CLogSettingsBox::LoadFromDocument() {
  enable_->setChecked(document_->log.Enable != 0);
  file_name_->setText(QString::fromStdString(document_->log.FileName));
  max_lines_->setText(QString::number(document_->log.MaxLines));
}

bool CLogSettingsBox::TakeValues() {
  long value = 0;
  if (CheckResult r =
          CheckIntegerField(max_lines_->text().toStdString(), 0, kMaxLinesLimit, &value)) {
    CMessageBoxes(this).Error(*r, kTitle);
    max_lines_->setFocus();
    return false;
  }
  document_->log.Enable = enable_->isChecked();
  document_->log.FileName = file_name_->text().trimmed().toStdString();
  document_->log.MaxLines = static_cast<uint32_t>(value);
  return true;
}

}  // namespace qlm::manager
