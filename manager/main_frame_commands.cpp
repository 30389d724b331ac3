// The main window's commands, its closing rule and the tray.
#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QTimer>

#include "manager/main_frame.h"
#include "manager/manager_texts.h"
#include "manager/manager_trace.h"
#include "manager/tray_icon.h"

namespace qlm::manager {

namespace {

constexpr char kReadMeName[] = "README.md";
constexpr char kAboutTitle[] = "About Quillmar";
// After "&Open Manager" shows the window, the icon goes this much later.
constexpr int kTrayRemoveDelayMs = 100;

}  // namespace

bool CMainFrame::TrayAdded() const { return tray_ != nullptr && tray_->IsAdded(); }

void CMainFrame::ShowAtStart() {
  if (!settings_.auto_load) {
    show();
  } else if (tray_->Add()) {
    hide();
  } else {
    showMinimized();
  }
}

void CMainFrame::PutToTray() {
  if (tray_->Add()) {
    hide();
  } else {
    showMinimized();
  }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // A close hides the window to the tray; Exit, or a desktop without a
  // notification area, ends the program.
  if (really_exit_ || !tray_->Add()) {
    tray_->Remove();
    event->accept();
    return;
  }
  hide();
  event->ignore();
}

void CMainFrame::CloseDocument() {
  if (document_closed_) {
    return;
  }
  document_closed_ = true;
  // "Disconnect on exit": the manager's hang-up, with its questions.
  if (settings_.disconnect_on_exit && dial_up_) {
    dial_up_->ManagerHangUp();
  }
  if (heartbeat_ != nullptr) {
    heartbeat_->stop();
  }
  // The receiver is stopped by its stop socket and joined by Close(), so no
  // wait for it is needed.
  link_->StopReceiver();
  link_->Close();
}

void CMainFrame::OnExit() {
  tray_->Remove();
  really_exit_ = true;
  close();
}

void CMainFrame::OnOpenManager() {
  showNormal();
  raise();
  activateWindow();
  QTimer::singleShot(kTrayRemoveDelayMs, this, [this] { tray_->Remove(); });
}

void CMainFrame::OnStartEngine() {
  Trace("Start Engine");
  engine_->StartEngine();
  UpdateCommands();
}

void CMainFrame::OnStopEngine() {
  Trace("Stop Engine");
  engine_->StopEngine();
  UpdateCommands();
}

void CMainFrame::OnUninstall() { engine_->Uninstall(); }

void CMainFrame::OnSupportOnline() {
  options_.open_url(QUrl(QString::fromStdString(settings_.support_page)));
}

void CMainFrame::OnFeedback() {
  options_.open_url(QUrl(QString::fromStdString("mailto:" + settings_.feedback_address)));
}

std::string CMainFrame::ReadMePath() const {
  // The installed copy beside the programs first, then the source folder's.
  for (const std::string& folder : {settings_.install_dir, settings_.install_dir + "/..",
                                    std::string(QLM_MANAGER_SOURCE_DIR)}) {
    if (folder.empty() || folder == "/..") {
      continue;
    }
    const QFileInfo info(QString::fromStdString(folder + "/" + kReadMeName));
    if (info.isFile()) {
      return info.canonicalFilePath().toStdString();
    }
  }
  return std::string();
}

void CMainFrame::OnReadMe() {
  const std::string path = ReadMePath();
  if (!path.empty()) {
    options_.open_url(QUrl::fromLocalFile(QString::fromStdString(path)));
  }
}

void CMainFrame::OnAbout() {
  const std::string text = std::string(kProductName) + "\nVersion " + kProductVersion +
                           "\nBuild " + __DATE__ + " " + __TIME__;
  boxes_.Information(text, kAboutTitle);
}

}  // namespace qlm::manager
