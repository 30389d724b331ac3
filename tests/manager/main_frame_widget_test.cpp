// The main window on the offscreen platform: every command's enabling rule
// with and without the engine, the tray and its fallback, closing, the
// pages fed by a stand-in engine, and the single-instance refusal's box.
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "dialup/scripted_backend.h"
#include "link/msg.h"
#include "manager/activity_prop.h"
#include "manager/all_controls_sheet.h"
#include "tests/engine/config/temp_store.h"
#include "manager/instance_lock.h"
#include "manager/main_frame.h"
#include "manager/manager_app.h"
#include "manager/message_boxes.h"
#include "manager/splash_window.h"
#include "tests/manager/fake_engine.h"
#include "tests/support/temp_dir.h"

namespace qlm::manager {

class MainFrameWidgetTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<CMainFrame> Frame(bool tray, ManagerSettings settings = {}) {
    MainFrameOptions options;
    options.heartbeat = std::chrono::milliseconds(50);
    options.tray_available = [tray] { return tray; };
    options.settings = [settings] { return settings; };
    options.default_ip = [] { return std::string("127.0.0.1"); };
    options.port = engine_->Port();
    options.open_url = [this](const QUrl& url) {
      opened_.push_back(url.toString().toStdString());
      return true;
    };
    options.engine_seams = [] {
      EngineControlSeams s;
      s.systemd_running = [] { return false; };
      s.service.is_running = [] { return -2; };
      s.install_dir = [] { return std::string(); };
      s.start_process = [](const std::string&) { return 0; };
      s.engine_lock_held = [] { return false; };
      s.wait = [](std::chrono::milliseconds) {};
      s.auto_run = [] { return false; };
      return s;
    };
    options.dial_up_backend = [] {
      auto backend = std::make_unique<dialup::CScriptedBackend>();
      backend->SetLoadable(false);
      return backend;
    };
    options.document.autostart_file = store_dir_.File("autostart/quillmar.desktop");
    options.document.host_address = [] { return std::string("127.0.0.1"); };
    return std::make_unique<CMainFrame>(std::move(options));
  }

  bool Enabled(CMainFrame& frame, int id) {
    frame.UpdateCommands();
    return frame.Action(id)->isEnabled();
  }

  std::unique_ptr<test::CFakeEngine> engine_;
  std::vector<std::string> opened_;
  // The settings document reads (and OK writes) a store of the test's own.
  test::CTempDir store_dir_{"qlm-widget-store"};
  std::unique_ptr<test::CTempStore> store_ = std::make_unique<test::CTempStore>();

 private slots:
  void init() {
    engine_ = std::make_unique<test::CFakeEngine>();
    opened_.clear();
  }
  void cleanup() { engine_.reset(); }

  void commandsWhileNotConnected() {
    auto frame = Frame(false);
    QVERIFY(Enabled(*frame, kCmdStartEngine));
    QVERIFY(!Enabled(*frame, kCmdStopEngine));
    QVERIFY(!Enabled(*frame, kCmdUninstall));  // no systemd
    QVERIFY(!Enabled(*frame, kCmdSupportOnline));
    QVERIFY(!Enabled(*frame, kCmdFeedback));
    QVERIFY(Enabled(*frame, kCmdReadMe));  // the source folder's README.md
    QVERIFY(Enabled(*frame, kCmdExit));
    QVERIFY(Enabled(*frame, kCmdAbout));
    // No dial-up service here: both dial commands are off; the HOSTS file is not.
    for (int id : {kCmdDialInternet, kCmdHangUp, kCmdHelpTopics}) {
      QVERIFY(!Enabled(*frame, id));
    }
    QVERIFY(Enabled(*frame, kCmdOpenHosts));
    QVERIFY(!frame->RunCommand(kCmdStopEngine));
  }

  void commandsWhileConnected() {
    auto frame = Frame(false);
    frame->StartHeartbeat();
    QVERIFY(engine_->Accept());
    QVERIFY(test::PumpUntil([&] { return frame->Link().IsConnected(); }));
    QVERIFY(!Enabled(*frame, kCmdStartEngine));
    QVERIFY(Enabled(*frame, kCmdStopEngine));
    engine_->Drop();
    QVERIFY(test::PumpUntil([&] { return !frame->Link().IsConnected(); }));
    QVERIFY(Enabled(*frame, kCmdStartEngine));
    QVERIFY(!Enabled(*frame, kCmdStopEngine));
  }

  void supportAndFeedbackFollowTheirValues() {
    ManagerSettings settings;
    settings.support_page = "http://support.example/";
    settings.feedback_address = "support@example.org";
    auto frame = Frame(false, settings);
    QVERIFY(frame->RunCommand(kCmdSupportOnline));
    QVERIFY(frame->RunCommand(kCmdFeedback));
    QVERIFY(frame->RunCommand(kCmdReadMe));
    QCOMPARE(opened_.size(), size_t{3});
    QCOMPARE(opened_[0], std::string("http://support.example/"));
    QCOMPARE(opened_[1], std::string("mailto:support@example.org"));
    QVERIFY(opened_[2].ends_with("/README.md"));
  }

  void withoutATrayAutoLoadMinimises() {
    ManagerSettings settings;
    settings.auto_load = true;
    auto frame = Frame(false, settings);
    frame->ShowAtStart();
    QVERIFY(frame->isMinimized());
    QVERIFY(!frame->TrayAdded());
  }

  void withATrayAutoLoadHides() {
    ManagerSettings settings;
    settings.auto_load = true;
    auto frame = Frame(true, settings);
    frame->ShowAtStart();
    QVERIFY(!frame->isVisible());
    QVERIFY(frame->TrayAdded());
    QVERIFY(frame->RunCommand(kCmdOpenManager));
    QVERIFY(frame->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!frame->TrayAdded(), 5000);
  }

  void withoutAutoLoadTheWindowShows() {
    auto frame = Frame(true);
    frame->ShowAtStart();
    QVERIFY(frame->isVisible());
    QVERIFY(!frame->TrayAdded());
  }

  void closingHidesToTheTray() {
    auto frame = Frame(true);
    frame->show();
    QVERIFY(!frame->close());  // refused: hidden instead
    QVERIFY(!frame->isVisible());
    QVERIFY(frame->TrayAdded());
  }

  void closingWithoutATrayEndsTheWindow() {
    auto frame = Frame(false);
    frame->show();
    QVERIFY(frame->close());
    QVERIFY(!frame->isVisible());
  }

  void exitEndsEvenWithATray() {
    auto frame = Frame(true);
    frame->show();
    QVERIFY(frame->RunCommand(kCmdExit));
    QVERIFY(frame->ReallyExit());
    QVERIFY(!frame->isVisible());
    QVERIFY(!frame->TrayAdded());
  }

  void pagesShowWhatTheEngineSends() {
    ManagerSettings settings;
    settings.log_enable = true;
    auto frame = Frame(false, settings);
    frame->show();
    frame->StartHeartbeat();
    QVERIFY(engine_->Accept());
    link::CMsg list(link::MSG_DAEMON_LIST);
    list.lines = {"127.0.0.1:SOCKS:1080"};
    link::CMsg activity(link::MSG_ACTIVITY);
    activity.activity = {"127.0.0.1:SOCKS:1080", "0x2a0", "Connecting to example.com"};
    link::CMsg log(link::MSG_LOG_CONTENT);
    log.lines = {"12/08/2026 10:00:00 0x2a0 ERR one",
                 "12/08/2026 10:00:01 0x2a0 HTTP a b c d 80 GET"};
    QVERIFY(engine_->Send(test::MsgBytes(list) + test::MsgBytes(activity) + test::MsgBytes(log)));
    QTreeWidget* tree = frame->Sheet().ActivityProp();
    QVERIFY(tree != nullptr);
    QVERIFY(test::PumpUntil([&] { return tree->topLevelItemCount() == 1 &&
                                         tree->topLevelItem(0)->childCount() == 1; }));
    QTreeWidgetItem* port = tree->topLevelItem(0)->child(0)->child(0)->child(0);
    QCOMPARE(port->text(0), QString("Port 1080"));
    QVERIFY(test::PumpUntil([&] { return port = tree->topLevelItem(0)->child(0)->child(0)->child(0),
                                         port->childCount() == 1; }));
    QCOMPARE(port->child(0)->text(0), QString("Connecting to example.com"));
    auto* table = frame->findChild<QTableView*>();
    QVERIFY(test::PumpUntil([&] { return table->model()->rowCount() == 2; }));
    QCOMPARE(table->model()->index(0, 3).data().toString(), QString("HTTP"));
    QCOMPARE(table->model()->index(1, 9).data().toString(), QString("one"));
    QCOMPARE(table->model()->headerData(9, Qt::Horizontal).toString(), QString("Message"));
    QVERIFY(!table->model()->index(0, 0).data(Qt::DecorationRole).isNull());
  }

  void theLogWaitsForRefreshWhileItIsDisabled() {
    auto frame = Frame(false);  // Log "Enable" off in the manager's settings
    frame->show();
    frame->StartHeartbeat();
    QVERIFY(engine_->Accept());
    link::CMsg log(link::MSG_LOG_CONTENT);
    log.lines = {"12/08/2026 10:00:00 0x1 ERR kept for Refresh"};
    // The warning after the log tells when the log has been received.
    int warnings = 0;
    frame->SetIdleWarningHandler([&] { ++warnings; });
    QVERIFY(engine_->Send(test::MsgBytes(log) +
                          test::MsgBytes(link::CMsg(link::MSG_IDLE_HANGUP_WARNING))));
    QVERIFY(test::PumpUntil([&] { return warnings == 1; }));
    auto* table = frame->findChild<QTableView*>();
    // Several heartbeats pass without the table taking the log in.
    int beats = 0;
    QTimer counter;
    QObject::connect(&counter, &QTimer::timeout, [&] { ++beats; });
    counter.start(50);
    QVERIFY(test::PumpUntil([&] { return beats >= 6; }));
    QCOMPARE(table->model()->rowCount(), 0);
    auto* refresh = frame->findChild<QPushButton*>("Refresh");
    QVERIFY(refresh != nullptr);
    QCOMPARE(refresh->text(), QString("Refresh"));
    refresh->click();
    QCOMPARE(table->model()->rowCount(), 1);
    QCOMPARE(table->model()->index(0, 9).data().toString(), QString("kept for Refresh"));
  }

  void theIdleWarningReachesItsPlace() {
    auto frame = Frame(false);
    int warnings = 0;
    frame->SetIdleWarningHandler([&] { ++warnings; });
    frame->StartHeartbeat();
    QVERIFY(engine_->Accept());
    QVERIFY(engine_->Send(test::MsgBytes(link::CMsg(link::MSG_IDLE_HANGUP_WARNING))));
    QVERIFY(test::PumpUntil([&] { return warnings == 1; }));
  }

  void theAboutBoxNamesProductVersionAndBuild() {
    auto frame = Frame(false);
    QString text;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        text = box->text();
        box->done(QMessageBox::Ok);
      }
    });
    watcher.start(10);
    QVERIFY(frame->RunCommand(kCmdAbout));
    QVERIFY(text.startsWith("Quillmar Proxy Server\nVersion 2.6\nBuild "));
  }

  void closeCommandPutsTheWindowToTheTray() {
    auto frame = Frame(true);
    frame->show();
    QVERIFY(frame->RunCommand(kCmdClose));
    QVERIFY(!frame->isVisible());
    QVERIFY(frame->TrayAdded());
  }

  void theSplashGoesAtAKeyPress() {
    QPointer<CSplashWindow> splash = new CSplashWindow(nullptr);
    splash->show();
    QTest::keyClick(splash.data(), Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(splash.isNull(), 5000);
  }

  void aSecondManagerIsRefusedWithItsText() {
    test::CTempDir dir;
    CInstanceLock first;
    QVERIFY(AcquireManagerInstance(&first, dir.Path(), [](const std::string&) {}));
    QString seen_text;
    QString seen_icon;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        seen_text = box->text();
        seen_icon = box->icon() == QMessageBox::Critical ? "critical" : "other";
        box->done(QMessageBox::Ok);
      }
    });
    watcher.start(10);
    CMessageBoxes boxes;
    CInstanceLock second;
    QVERIFY(!AcquireManagerInstance(&second, dir.Path(), [&](const std::string& text) {
      boxes.Error(text, "Quillmar");
    }));
    QCOMPARE(seen_text, QString("You have Quillmar Manager started already"));
    QCOMPARE(seen_icon, QString("critical"));
  }
};

}  // namespace qlm::manager

QTEST_MAIN(qlm::manager::MainFrameWidgetTest)
#include "main_frame_widget_test.moc"
