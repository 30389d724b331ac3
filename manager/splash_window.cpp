// The splash window.
#include "manager/splash_window.h"

#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "manager/manager_texts.h"
#include "manager/tray_icon.h"

namespace qlm::manager {

QPixmap SplashPicture() {
  QPixmap pixmap(360, 180);
  pixmap.fill(QColor(0x1f, 0x5f, 0x9f));
  QPainter painter(&pixmap);
  painter.drawPixmap(20, 58, ManagerIcon().pixmap(64, 64));
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setPixelSize(24);
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(QRect(100, 50, 250, 40), Qt::AlignLeft | Qt::AlignVCenter, kProductName);
  font.setPixelSize(14);
  font.setBold(false);
  painter.setFont(font);
  painter.drawText(QRect(100, 90, 250, 30), Qt::AlignLeft | Qt::AlignVCenter,
                   QString("Version ") + kProductVersion);
  painter.end();
  return pixmap;
}

CSplashWindow::CSplashWindow(QWidget* over) : QSplashScreen(SplashPicture()) {
  setAttribute(Qt::WA_DeleteOnClose);
  if (over != nullptr && over->isVisible()) {
    move(over->geometry().center() - rect().center());
  }
  QTimer::singleShot(kShowMs, this, [this] { close(); });
}

void CSplashWindow::keyPressEvent(QKeyEvent*) { close(); }

}  // namespace qlm::manager
