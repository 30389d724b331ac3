// The main window's settings document, the sheet's OK / Apply / Cancel, the
// dial-up commands with the auto hang-up dialog, and the HOSTS editor.
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QProcess>
#include <QPushButton>
#include <cstdlib>
#include <thread>

#include "dialup/pppd_backend.h"
#include "manager/activity_prop.h"
#include "manager/all_controls_sheet.h"
#include "manager/auto_hang_up_dialog.h"
#include "manager/hosts_file.h"
#include "manager/main_frame.h"
#include "manager/manager_texts.h"
#include "manager/manager_trace.h"
#include "manager/settings_texts.h"

namespace qlm::manager {

namespace {

constexpr char kHostsVariable[] = "QUILLMAR_HOSTS_FILE";
constexpr char kSystemHosts[] = "/etc/hosts";

// Starts a program without waiting for it (and without leaving it a child
// of ours to reap).
bool LaunchDetached(const std::vector<std::string>& argv) {
  if (argv.empty()) {
    return false;
  }
  QStringList args;
  for (size_t i = 1; i < argv.size(); ++i) {
    args << QString::fromStdString(argv[i]);
  }
  return QProcess::startDetached(QString::fromStdString(argv[0]), args);
}

}  // namespace

void CMainFrame::BuildSettings() {
  backend_ = options_.dial_up_backend ? options_.dial_up_backend() : dialup::MakePlatformBackend();
  dial_up_ =
      std::make_unique<CManagerDialUp>(backend_.get(), DialUpSeams(), options_.dial_up_times);
  SettingsDocumentOptions document = options_.document;
  document.dial_up_available = [this] { return dial_up_->Available(); };
  document_ = std::make_unique<CSettingsDocument>(std::move(document));
  document_->Load();
  if (!idle_warning_) {
    idle_warning_ = [this] { dial_up_->ShowAutoHangUp(); };
  }
}

ManagerDialUpSeams CMainFrame::DialUpSeams() {
  ManagerDialUpSeams s;
  s.settings = [this] {
    ManagerDialUpSettings d;
    d.use_dial_up = settings_.use_dial_up;
    d.dial_up_managed = settings_.dial_up_managed;
    d.profile = settings_.dial_up_profile;
    d.user = settings_.dial_up_user;
    d.password = settings_.dial_up_password;
    return d;
  };
  s.set_root_status = [this](const std::string& line) {
    activity_.SetRootStatus(line);
    RefreshActivity();
  };
  s.error = [this](const std::string& text) { boxes_.Error(text, kApplicationTitle); };
  s.ask_yes_no = [this](const std::string& text, const std::string& title) {
    return boxes_.AskYesNo(text, title);
  };
  s.open_dialog = [this] { ShowAutoHangUpDialog(); };
  s.close_dialog = [this] {
    if (auto_hang_up_ != nullptr) {
      auto_hang_up_->CloseSilently();
    }
  };
  s.dialog_open = [this] { return auto_hang_up_ != nullptr && auto_hang_up_->isVisible(); };
  s.send_keep_connection = [this] {
    Trace("Keep connection sent to the engine");
    link_->SendMsg(link::CMsg(link::MSG_KEEP_CONNECTION));
  };
  s.post_dial_state = [this](int state, int error) {
    QMetaObject::invokeMethod(this, [this, state, error] {
      dial_up_->OnDialNotification(state, error);
    }, Qt::QueuedConnection);
  };
  s.wait = [](std::chrono::milliseconds d) {
    // Keeps the window drawn while the line is released.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, static_cast<int>(d.count()));
    std::this_thread::sleep_for(d);
  };
  return s;
}

void CMainFrame::ShowAutoHangUpDialog() {
  Trace("Show auto hang-up");
  if (auto_hang_up_ == nullptr) {
    auto_hang_up_ = new CAutoHangUpDialog(
        [this](bool ok) { dial_up_->AutoHangUpAnswered(ok); }, this);
  }
  auto_hang_up_->show();
  auto_hang_up_->raise();
  auto_hang_up_->activateWindow();
}

QWidget* CMainFrame::BuildSheetButtons() {
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
  QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
  QPushButton* apply = buttons->addButton(QDialogButtonBox::Apply);
  ok->setObjectName("SheetOk");
  cancel->setObjectName("SheetCancel");
  apply->setObjectName("SheetApply");
  connect(ok, &QPushButton::clicked, this, [this] { SheetOk(); });
  connect(cancel, &QPushButton::clicked, this, [this] { SheetCancel(); });
  connect(apply, &QPushButton::clicked, this, [this] { SheetApply(); });
  return buttons;
}

bool CMainFrame::SaveSettings() {
  if (!sheet_->TakeValues()) {
    return false;
  }
  Trace("Settings saved");
  const bool saved = document_->Save();
  if (!saved) {
    boxes_.Error("The settings could not be saved to the configuration store.", kApplicationTitle);
  }
  settings_ = options_.settings();
  sheet_->LoadFromDocument();
  engine_->ApplyAndRestart();
  UpdateCommands();
  return saved;
}

bool CMainFrame::SheetOk() {
  if (!SaveSettings()) {
    return false;
  }
  PutToTray();
  return true;
}

bool CMainFrame::SheetApply() { return SaveSettings(); }

void CMainFrame::SheetCancel() {
  document_->Load();
  sheet_->LoadFromDocument();
  PutToTray();
}

void CMainFrame::OnDialInternet() {
  Trace("Dial Internet");
  dial_up_->ManagerDial();
  RefreshActivity();
}

void CMainFrame::OnHangUp() {
  Trace("Hang Up");
  dial_up_->ManagerHangUp();
  RefreshActivity();
}

void CMainFrame::OnOpenHosts() {
  HostsFileSeams seams;
  seams.path = options_.hosts_path;
  if (seams.path.empty()) {
    const char* path = std::getenv(kHostsVariable);
    seams.path = path != nullptr && *path != '\0' ? path : kSystemHosts;
  }
  seams.launch = options_.launch ? options_.launch : LaunchDetached;
  seams.error = [this](const std::string& text) { boxes_.Error(text, kApplicationTitle); };
  OpenHostsFile(seams);
}

}  // namespace qlm::manager
