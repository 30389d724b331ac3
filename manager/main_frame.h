// CMainFrame: the manager's main window. It owns the document's parts (the
// link to the engine, the activity and log models, engine control), the
// property sheet with its pages, the menus and the tray icon, and runs the
// 4-second heartbeat that reconnects to the engine and refreshes the log.
//
// The property sheet's OK, Apply and Cancel save or discard the settings
// document and restart the engine; the dial-up commands, the auto hang-up
// dialog and the HOSTS editor are wired here too.
#pragma once

#include <QMainWindow>
#include <QUrl>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "manager/activity_model.h"
#include "manager/engine_control.h"
#include "manager/log_model.h"
#include "manager/log_store.h"
#include "manager/manager_dial_up.h"
#include "manager/settings_document.h"
#include "dialup/dial_up_backend.h"
#include "manager/manager_link.h"
#include "manager/manager_settings.h"
#include "manager/message_boxes.h"

class QAction;
class QMenu;

namespace qlm::manager {

class CAllControlsSheet;
class CAutoHangUpDialog;
class CTrayIcon;

// Command numbers of the main and tray menus (and three without a menu item).
enum CommandId : int {
  kCmdDialInternet = 32774,
  kCmdHangUp = 32777,
  kCmdOpenHosts = 32780,
  kCmdClose = 57665,
  kCmdExit = 32790,
  kCmdStatusBar = 59393,
  kCmdStartEngine = 32783,
  kCmdStopEngine = 32784,
  kCmdUninstall = 32786,
  kCmdHelpTopics = 57667,
  kCmdSupportOnline = 32778,
  kCmdReadMe = 32775,
  kCmdFeedback = 32779,
  kCmdAbout = 57664,
  kCmdOpenManager = 32789,
  kCmdInstallService = 32785,
  kCmdConnect = 32787,
  kCmdSendStop = 32788,
};

struct MainFrameOptions {
  std::chrono::milliseconds heartbeat{4000};
  // Whether a notification area exists (default: the desktop's answer).
  std::function<bool()> tray_available;
  // The store's values (default: read from the store at each heartbeat).
  std::function<ManagerSettings()> settings;
  // Engine control's outside world; the link and message boxes are the frame's.
  std::function<EngineControlSeams()> engine_seams;
  EngineControlTimes engine_times;
  // The link's address and port (default: DefaultIP from the store, the port
  // from the environment).
  std::function<std::string()> default_ip;
  uint16_t port = 0;
  // Opens a file, page or mail with the desktop's default program.
  std::function<bool(const QUrl&)> open_url;
  // The settings document's outside world (autostart file, dial-up
  // availability is the backend's).
  SettingsDocumentOptions document;
  // The dial-up service (default: pppd on this machine).
  std::function<dialup::DialUpBackendPtr()> dial_up_backend;
  ManagerDialUpTimes dial_up_times;
  // The HOSTS editor (default: /etc/hosts, or $QUILLMAR_HOSTS_FILE; the
  // editor started without waiting).
  std::string hosts_path;
  std::function<bool(const std::vector<std::string>& argv)> launch;
};

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(MainFrameOptions options = {});
  ~CMainFrame() override;

  // The start-up show: normal, or (AutoLoad) to the tray, or minimised
  // without a tray.
  void ShowAtStart();
  // Starts the heartbeat and connects at once.
  void StartHeartbeat();
  // Program end: heartbeat stopped, receiver stopped, link closed.
  void CloseDocument();

  // Applies every command's enabling rule now.
  void UpdateCommands();
  QAction* Action(int id) const;
  // Runs a command as if chosen from a menu; false when it is unknown or disabled.
  bool RunCommand(int id);
  // Brings property sheet page `index` (0 Activity ... 4 Logging) to the front.
  void ShowPage(int index);

  // The auto hang-up dialog's place: called on the window thread when the
  // engine warns that it will hang up an idle line.
  void SetIdleWarningHandler(std::function<void()> handler) { idle_warning_ = std::move(handler); }

  // The sheet's buttons: OK (save, restart, to the tray), Apply (save,
  // restart) and Cancel (discard, to the tray). false when a page refused.
  bool SheetOk();
  bool SheetApply();
  void SheetCancel();

  ManagerLink& Link() { return *link_; }
  CAllControlsSheet& Sheet() { return *sheet_; }
  CSettingsDocument& Document() { return *document_; }
  CManagerDialUp& DialUp() { return *dial_up_; }
  // The auto hang-up dialog, null until first shown.
  CAutoHangUpDialog* AutoHangUpDialog() const { return auto_hang_up_; }
  CActivityModel& ActivityModel() { return activity_; }
  CLogModel& LogModel() { return log_model_; }
  CEngineControl& EngineControl() { return *engine_; }
  bool TrayAdded() const;
  bool ReallyExit() const { return really_exit_; }
  // A settings step of the test hooks (main_frame_script.cpp):
  //   daemon-listener-add NAME IP PORT   the daemon's dialog, the listener added, OK
  //   portmap-add NAME SERVER PORT IP LISTEN_PORT   a new TCP mapping, OK
  //   open dialup|daemon NAME|email|dns|dhcp|portmap   a dialog left open
  //   close                              the dialog in front cancelled
  //   autohangup ok|cancel               the auto hang-up dialog's buttons
  //   ok | apply | cancel                the property sheet's buttons
  void RunScript(const std::string& line);
  // What the test hooks write: link, window, tray, commands, tree, log rows.
  std::string StateText() const;
  // The README this program opens, empty when none is found.
  std::string ReadMePath() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* AddCommand(QMenu* menu, int id, const char* text, std::function<void()> run);
  void BuildMenus();
  void BuildTrayMenu();
  void BuildPages();
  void WireLink();
  void Heartbeat();
  void PutToTray();
  void RefreshActivity();

  // Commands (main_frame_commands.cpp).
  void OnStartEngine();
  void OnStopEngine();
  void OnUninstall();
  void OnExit();
  void OnOpenManager();
  void OnSupportOnline();
  void OnReadMe();
  void OnFeedback();
  void OnAbout();

  // Settings and dial-up (main_frame_settings.cpp).
  void BuildSettings();
  QWidget* BuildSheetButtons();
  bool SaveSettings();
  void OnDialInternet();
  void OnHangUp();
  void OnOpenHosts();
  void ShowAutoHangUpDialog();
  ManagerDialUpSeams DialUpSeams();

  MainFrameOptions options_;
  ManagerSettings settings_;
  CMessageBoxes boxes_;
  CLogStore log_store_;
  CLogModel log_model_{&log_store_};
  CActivityModel activity_;
  std::unique_ptr<ManagerLink> link_;
  std::unique_ptr<CEngineControl> engine_;
  std::unique_ptr<CSettingsDocument> document_;
  dialup::DialUpBackendPtr backend_;
  std::unique_ptr<CManagerDialUp> dial_up_;
  CAutoHangUpDialog* auto_hang_up_ = nullptr;
  std::map<int, QAction*> actions_;
  QMenu* tray_menu_ = nullptr;
  CTrayIcon* tray_ = nullptr;
  CAllControlsSheet* sheet_ = nullptr;
  QTimer* heartbeat_ = nullptr;
  bool really_exit_ = false;
  bool document_closed_ = false;
  int scripts_done_ = 0;  // settings steps of the test hooks finished
  std::function<void()> idle_warning_;
};

}  // namespace qlm::manager
