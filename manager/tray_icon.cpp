// The notification-area icon.
#include "manager/tray_icon.h"

#include <QMenu>
#include <QPainter>
#include <QPixmap>

#include "manager/manager_texts.h"

namespace qlm::manager {

QIcon ManagerIcon() {
  QIcon icon;
  for (int size : {16, 32, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x1f, 0x5f, 0x9f));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(0, 0, size, size, size / 5, size / 5);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(size * 3 / 4);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, "Q");
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

CTrayIcon::CTrayIcon(std::function<bool()> available, QMenu* menu,
                     std::function<void()> open_manager, QObject* parent)
    : QObject(parent), available_(std::move(available)), menu_(menu),
      open_manager_(std::move(open_manager)) {}

CTrayIcon::~CTrayIcon() = default;

bool CTrayIcon::Add() {
  if (icon_) {
    return true;
  }
  if (!available_()) {
    return false;
  }
  icon_ = std::make_unique<QSystemTrayIcon>(ManagerIcon());
  icon_->setToolTip(kTrayTipText);
  icon_->setContextMenu(menu_);
  connect(icon_.get(), &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::DoubleClick) {
              open_manager_();
            }
          });
  icon_->show();
  return true;
}

void CTrayIcon::Remove() { icon_.reset(); }

}  // namespace qlm::manager
