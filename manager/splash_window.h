// The start-up splash: a borderless picture centred over the main window,
// gone after 2 seconds or at the first click or key press.
#pragma once

#include <QSplashScreen>

namespace qlm::manager {

class CSplashWindow : public QSplashScreen {
  Q_OBJECT

 public:
  static constexpr int kShowMs = 2000;

  explicit CSplashWindow(QWidget* over);

 protected:
  // QSplashScreen overrides
  void keyPressEvent(QKeyEvent* event) override;
};

// The splash picture (drawn).
QPixmap SplashPicture();

}  // namespace qlm::manager
