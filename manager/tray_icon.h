// The notification-area icon: id 128, tip "Quillmar Manager". Double-click
// opens the manager; the context menu is the tray menu. Where the desktop
// has no notification area the icon cannot be added, and the window
// minimises instead of hiding.
#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

class QMenu;

namespace qlm::manager {

class CTrayIcon : public QObject {
  Q_OBJECT

 public:
  // `available` answers whether a notification area exists now.
  CTrayIcon(std::function<bool()> available, QMenu* menu, std::function<void()> open_manager,
            QObject* parent = nullptr);
  ~CTrayIcon() override;

  // Adds the icon (or finds it added); false when there is no notification area.
  bool Add();
  void Remove();
  bool IsAdded() const { return icon_ != nullptr; }

 private:
  std::function<bool()> available_;
  QMenu* menu_;
  std::function<void()> open_manager_;
  std::unique_ptr<QSystemTrayIcon> icon_;
};

// The program's icon (drawn, no image files needed).
QIcon ManagerIcon();

}  // namespace qlm::manager
