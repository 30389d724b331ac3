// The main window: its parts, menus, pages, heartbeat and state.
#include "manager/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <sstream>

#include "manager/activity_prop.h"
#include "manager/all_controls_sheet.h"
#include "manager/auto_hang_up_dialog.h"
#include "manager/log_prop.h"
#include "manager/manager_texts.h"
#include "manager/manager_trace.h"
#include "manager/tray_icon.h"

namespace qlm::manager {

namespace {

void FillDefaults(MainFrameOptions* o) {
  if (!o->tray_available) {
    o->tray_available = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
  }
  if (!o->settings) {
    o->settings = ReadManagerSettings;
  }
  if (!o->engine_seams) {
    o->engine_seams = SystemEngineControlSeams;
  }
  if (!o->default_ip) {
    o->default_ip = ReadDefaultIp;
  }
  if (o->port == 0) {
    o->port = ManagerPortFromEnvironment();
  }
  if (!o->open_url) {
    o->open_url = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  }
}

}  // namespace

CMainFrame::CMainFrame(MainFrameOptions options) : options_(std::move(options)), boxes_(this) {
  FillDefaults(&options_);
  settings_ = options_.settings();
  setWindowTitle(kApplicationTitle);
  setWindowIcon(ManagerIcon());
  ManagerLinkOptions link;
  link.default_ip = options_.default_ip;
  link.port = options_.port;
  link.show_error = [this](const std::string& text) { boxes_.Error(text, kApplicationTitle); };
  link_ = std::make_unique<ManagerLink>(std::move(link), &log_store_, this);

  EngineControlSeams seams = options_.engine_seams();
  seams.connected = [this] { return link_->IsConnected(); };
  seams.send_stop = [this] { link_->SendStop(); };
  seams.connect = [this] { link_->Connect(); };
  seams.error = [this](const std::string& text, const std::string& title) {
    boxes_.Error(text, title);
  };
  seams.information = [this](const std::string& text) {
    boxes_.Information(text, kApplicationTitle);
  };
  seams.ask_yes_no = [this](const std::string& text, const std::string& title) {
    return boxes_.AskYesNo(text, title);
  };
  engine_ = std::make_unique<CEngineControl>(std::move(seams), options_.engine_times);

  BuildSettings();
  BuildPages();
  BuildMenus();
  BuildTrayMenu();
  WireLink();
  heartbeat_ = new QTimer(this);
  connect(heartbeat_, &QTimer::timeout, this, [this] { Heartbeat(); });
  statusBar()->showMessage(tr("Ready"));
  resize(980, 600);
  UpdateCommands();
}

CMainFrame::~CMainFrame() { CloseDocument(); }

void CMainFrame::BuildPages() {
  auto* view = new QWidget(this);
  sheet_ = new CAllControlsSheet(&activity_, &log_model_, document_.get(),
                                 [this] {
                                   return dial_up_->Available() ? backend_->EnumEntries()
                                                                : std::vector<std::string>{};
                                 },
                                 view);
  auto* layout = new QVBoxLayout(view);
  layout->addWidget(sheet_, 1);
  layout->addWidget(BuildSheetButtons());
  setCentralWidget(view);
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const char* text, std::function<void()> run) {
  auto it = actions_.find(id);
  QAction* action = nullptr;
  if (it != actions_.end()) {
    action = it->second;
  } else {
    action = new QAction(tr(text), this);
    action->setData(id);
    if (run) {
      connect(action, &QAction::triggered, this, [run] { run(); });
    }
    actions_[id] = action;
  }
  if (menu != nullptr) {
    menu->addAction(action);
  }
  return action;
}

void CMainFrame::BuildMenus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  AddCommand(file, kCmdDialInternet, "&Dial Internet", [this] { OnDialInternet(); });
  AddCommand(file, kCmdHangUp, "&Hang Up", [this] { OnHangUp(); });
  AddCommand(file, kCmdOpenHosts, "&Open HOSTS file", [this] { OnOpenHosts(); });
  file->addSeparator();
  AddCommand(file, kCmdClose, "&Close", [this] { close(); });
  AddCommand(file, kCmdExit, "E&xit", [this] { OnExit(); });
  QMenu* view = menuBar()->addMenu(tr("&View"));
  QAction* bar = AddCommand(view, kCmdStatusBar, "&Status Bar", nullptr);
  bar->setCheckable(true);
  bar->setChecked(true);
  connect(bar, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
  QMenu* engine = menuBar()->addMenu(tr("&Engine"));
  AddCommand(engine, kCmdStartEngine, "S&tart Engine", [this] { OnStartEngine(); });
  AddCommand(engine, kCmdStopEngine, "St&op Engine", [this] { OnStopEngine(); });
  AddCommand(engine, kCmdUninstall, "Uninstall", [this] { OnUninstall(); });
  QMenu* help = menuBar()->addMenu(tr("&Help"));
  AddCommand(help, kCmdHelpTopics, "&Help Topics", nullptr);
  AddCommand(help, kCmdSupportOnline, "&Support Online", [this] { OnSupportOnline(); });
  AddCommand(help, kCmdReadMe, "&Read Me", [this] { OnReadMe(); });
  AddCommand(help, kCmdFeedback, "&E-mail Feedback", [this] { OnFeedback(); });
  help->addSeparator();
  AddCommand(help, kCmdAbout, "A&bout Quillmar", [this] { OnAbout(); });
  // Without a menu item.
  AddCommand(nullptr, kCmdInstallService, "Install", [this] { engine_->InstallService(); });
  AddCommand(nullptr, kCmdConnect, "Connect", [this] { link_->Connect(); });
  AddCommand(nullptr, kCmdSendStop, "Send Stop", [this] { link_->SendStop(); });
  for (QMenu* menu : {file, view, engine, help}) {
    connect(menu, &QMenu::aboutToShow, this, [this] { UpdateCommands(); });
  }
}

void CMainFrame::BuildTrayMenu() {
  tray_menu_ = new QMenu(this);
  QAction* open =
      AddCommand(tray_menu_, kCmdOpenManager, "&Open Manager", [this] { OnOpenManager(); });
  tray_menu_->setDefaultAction(open);
  tray_menu_->addSeparator();
  AddCommand(tray_menu_, kCmdDialInternet, "", nullptr);
  AddCommand(tray_menu_, kCmdHangUp, "", nullptr);
  tray_menu_->addSeparator();
  AddCommand(tray_menu_, kCmdStartEngine, "", nullptr);
  AddCommand(tray_menu_, kCmdStopEngine, "", nullptr);
  tray_menu_->addSeparator();
  AddCommand(tray_menu_, kCmdExit, "", nullptr);
  connect(tray_menu_, &QMenu::aboutToShow, this, [this] {
    UpdateCommands();
    raise();
    activateWindow();
  });
  tray_ = new CTrayIcon(options_.tray_available, tray_menu_, [this] { OnOpenManager(); }, this);
}

void CMainFrame::WireLink() {
  connect(link_.get(), &ManagerLink::ConnectedChanged, this, [this](bool connected) {
    statusBar()->showMessage(connected ? tr("Connected to the proxy engine")
                                       : tr("Not connected to the proxy engine"));
    UpdateCommands();
  });
  connect(link_.get(), &ManagerLink::DaemonListReceived, this,
          [this](const std::vector<std::string>& keys) {
            activity_.SetDaemonKeys(keys);
            activity_.Rebuild();
            RefreshActivity();
          });
  connect(link_.get(), &ManagerLink::ActivityReceived, this,
          [this](const link::CActivityMsg& activity) {
            activity_.AddActivity(activity);
            RefreshActivity();
          });
  connect(link_.get(), &ManagerLink::EngineLost, this, [this] {
    activity_.ClearKeys();
    activity_.Rebuild();
    RefreshActivity();
  });
  connect(link_.get(), &ManagerLink::IdleHangupWarning, this, [this] {
    Trace("Show auto hang-up");
    if (idle_warning_) {
      idle_warning_();
    }
  });
}

void CMainFrame::RefreshActivity() { sheet_->ActivityProp()->Refresh(); }

void CMainFrame::StartHeartbeat() {
  if (!heartbeat_->isActive()) {
    heartbeat_->start(static_cast<int>(options_.heartbeat.count()));
  }
  link_->Connect();
}

void CMainFrame::Heartbeat() {
  settings_ = options_.settings();
  dial_up_->PollDialStatus();
  RefreshActivity();
  dial_up_->CountdownStep();
  link_->Connect();
  if (settings_.log_enable) {
    sheet_->LogProp()->RefreshLog();
  }
  UpdateCommands();
}

void CMainFrame::UpdateCommands() {
  const bool connected = link_->IsConnected();
  actions_[kCmdStartEngine]->setEnabled(!connected);
  actions_[kCmdStopEngine]->setEnabled(connected);
  actions_[kCmdUninstall]->setEnabled(engine_->UninstallEnabled());
  actions_[kCmdSupportOnline]->setEnabled(!settings_.support_page.empty());
  actions_[kCmdFeedback]->setEnabled(!settings_.feedback_address.empty());
  actions_[kCmdReadMe]->setEnabled(!ReadMePath().empty());
  // No help file exists. Without a dial-up service both dial commands are off.
  actions_[kCmdHelpTopics]->setEnabled(false);
  const bool dial_up = dial_up_->Available();
  actions_[kCmdDialInternet]->setEnabled(dial_up && settings_.use_dial_up);
  actions_[kCmdHangUp]->setEnabled(dial_up);
  actions_[kCmdOpenHosts]->setEnabled(true);
}

QAction* CMainFrame::Action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

bool CMainFrame::RunCommand(int id) {
  UpdateCommands();
  QAction* action = Action(id);
  if (action == nullptr || !action->isEnabled()) {
    return false;
  }
  action->trigger();
  return true;
}

void CMainFrame::ShowPage(int index) {
  if (sheet_->isTabEnabled(index)) {
    sheet_->setCurrentIndex(index);
  }
}

std::string CMainFrame::StateText() const {
  std::ostringstream out;
  out << "connected=" << (link_->IsConnected() ? 1 : 0) << "\n";
  QWidget* modal = QApplication::activeModalWidget();
  out << "modal=" << (modal != nullptr ? modal->windowTitle().toStdString() : "") << "\n";
  out << "scripts=" << scripts_done_ << "\n";
  out << "autohangup=" << (auto_hang_up_ != nullptr && auto_hang_up_->isVisible() ? 1 : 0)
      << " countdown=" << dial_up_->Countdown() << "\n";
  const char* window = isMinimized() ? "minimized" : (isVisible() ? "shown" : "hidden");
  out << "window=" << window << "\ntray=" << (TrayAdded() ? 1 : 0)
      << "\npage=" << sheet_->currentIndex() << "\ncommands=";
  for (const auto& [id, action] : actions_) {
    out << " " << id << ":" << (action->isEnabled() ? 1 : 0);
  }
  out << "\n[activity]\n" << activity_.Dump() << "[log]\nrows=" << log_model_.RowCount() << "\n";
  for (size_t r = 0; r < log_model_.RowCount() && r < 50; ++r) {
    const LogColumns columns = log_model_.Row(r);
    for (size_t c = 0; c < kLogColumnCount; ++c) {
      out << (c == 0 ? "" : " | ") << columns[c];
    }
    out << "\n";
  }
  return out.str();
}

}  // namespace qlm::manager
