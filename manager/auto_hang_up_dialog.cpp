// The auto hang-up dialog.
#include "manager/auto_hang_up_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "manager/settings_texts.h"

namespace qlm::manager {

CAutoHangUpDialog::CAutoHangUpDialog(std::function<void(bool ok)> answered, QWidget* parent)
    : QDialog(parent), answered_(std::move(answered)) {
  setWindowTitle(tr(kAutoHangUpTitle));
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose, false);
  auto* text = new QLabel(tr(kAutoHangUpText), this);
  text->setWordWrap(true);
  auto* exit_text = new QLabel(tr(kAutoHangUpExitText), this);
  exit_text->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addWidget(exit_text);
  layout->addWidget(buttons);
  resize(420, 160);
}

void CAutoHangUpDialog::Answer(bool ok) {
  // The window closes first, then the answer is acted on.
  hide();
  if (answered_) {
    answered_(ok);
  }
}

void CAutoHangUpDialog::accept() { Answer(true); }

// Escape and the window's close button count as Cancel.
void CAutoHangUpDialog::reject() { Answer(false); }

void CAutoHangUpDialog::CloseSilently() { hide(); }

}  // namespace qlm::manager
