// The modeless "Auto Hang Up" dialog, shown when the engine is about to hang
// up an idle line: OK hangs up now, Cancel keeps the line.
#pragma once

#include <QDialog>
#include <functional>

namespace qlm::manager {

class CAutoHangUpDialog : public QDialog {
  Q_OBJECT

 public:
  // `answered(ok)` is called after the dialog closed by a button.
  CAutoHangUpDialog(std::function<void(bool ok)> answered, QWidget* parent = nullptr);

  // Closes it without an answer (the countdown ran out, the line dropped).
  void CloseSilently();

  // QDialog overrides
  void accept() override;
  void reject() override;

 private:
  void Answer(bool ok);

  std::function<void(bool)> answered_;
};

}  // namespace qlm::manager
