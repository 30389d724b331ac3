// The settings pages and dialogs on the offscreen platform: the dependent
// enabling of their controls, refused OKs that keep the dialog open with the
// values entered, the pages' order, and the auto hang-up dialog answering
// the engine's warning.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "dialup/scripted_backend.h"
#include "link/msg.h"
#include "manager/all_controls_sheet.h"
#include "manager/auto_hang_up_dialog.h"
#include "manager/daemon_config_dialog.h"
#include "manager/dhcp_dialog.h"
#include "manager/dial_up_dialog.h"
#include "manager/general_prop.h"
#include "manager/listener_list_box.h"
#include "manager/main_frame.h"
#include "manager/port_config_dialog.h"
#include "manager/port_map_prop.h"
#include "manager/protocol_prop.h"
#include "manager/settings_pages.h"
#include "tests/engine/config/temp_store.h"
#include "tests/manager/fake_engine.h"
#include "tests/support/temp_dir.h"

namespace qlm::manager {

// Answers every message box as it comes, keeping its text.
class CBoxAnswerer {
 public:
  explicit CBoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok) {
    QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts.push_back(box->text().toStdString());
        const bool question = box->button(QMessageBox::Yes) != nullptr;
        box->done(question ? (answer == QMessageBox::No ? QMessageBox::No : QMessageBox::Yes)
                           : QMessageBox::Ok);
      }
    });
    timer_.start(10);
  }
  std::vector<std::string> texts;

 private:
  QTimer timer_;
};

class SettingsWidgetTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<CSettingsDocument> Document(bool dial_up) {
    SettingsDocumentOptions o;
    o.dial_up_available = [dial_up] { return dial_up; };
    o.host_address = [] { return std::string("127.0.0.221"); };
    o.autostart_file = dir_->File("autostart/quillmar.desktop");
    auto doc = std::make_unique<CSettingsDocument>(o);
    doc->Load();
    return doc;
  }

  std::unique_ptr<test::CTempStore> store_;
  std::unique_ptr<test::CTempDir> dir_;

 private slots:
  void init() {
    store_ = std::make_unique<test::CTempStore>();
    dir_ = std::make_unique<test::CTempDir>();
  }
  void cleanup() {
    store_.reset();
    dir_.reset();
  }

  void generalPageEnablesManagedOnlyWithUseDialUp() {
    auto doc = Document(true);
    CGeneralProp page(doc.get(), [] { return std::vector<std::string>{"provider"}; });
    QVERIFY(!page.UseDialUp()->isChecked());
    QVERIFY(!page.DialUpManaged()->isEnabled());
    QVERIFY(!page.SettingsButton()->isEnabled());
    page.UseDialUp()->click();
    QVERIFY(page.UseDialUp()->isChecked());
    QVERIFY(page.DialUpManaged()->isEnabled());
    QVERIFY(!page.SettingsButton()->isEnabled());
    page.DialUpManaged()->click();
    QVERIFY(page.SettingsButton()->isEnabled());
    page.UseDialUp()->click();
    QVERIFY(!page.DialUpManaged()->isEnabled());
    QVERIFY(!page.SettingsButton()->isEnabled());
    // The address list: the host's addresses, then the loopback address last.
    QCOMPARE(page.AddressCombo()->itemText(page.AddressCombo()->count() - 1),
             QString("127.0.0.1"));
    QCOMPARE(page.AddressCombo()->currentText(), QString("127.0.0.221"));
  }

  void generalPageWithoutDialUpRefusesUseDialUp() {
    auto doc = Document(false);
    CGeneralProp page(doc.get(), nullptr);
    QVERIFY(page.DialUpNote()->isVisibleTo(&page));
    CBoxAnswerer boxes;
    page.UseDialUp()->click();
    QVERIFY(!page.UseDialUp()->isChecked());
    QVERIFY(!page.DialUpManaged()->isEnabled());
    QCOMPARE(boxes.texts.size(), size_t{1});
    QCOMPARE(QString::fromStdString(boxes.texts[0]),
             QString("Rasapi32.dll loading fails! \nYou need to install RAS service for Windows "
                     "NT in order to use the Dial-Up Networking."));
  }

  void dialUpDialogControlsDependOnEachOther() {
    engine::GeneralSettings g;
    CDialUpDialog dialog(g, {"provider"});
    QVERIFY(!dialog.NoDns()->isEnabled());
    dialog.DialOnDemand()->click();
    QVERIFY(dialog.NoDns()->isEnabled());
    QVERIFY(!dialog.DisconnectMinutes()->isEnabled());
    dialog.DisconnectIdle()->click();
    QVERIFY(dialog.DisconnectMinutes()->isEnabled());
    dialog.KeepAlive()->click();
    QVERIFY(dialog.KeepAlive()->isChecked());
    QVERIFY(!dialog.DisconnectIdle()->isChecked());
    QVERIFY(!dialog.DisconnectMinutes()->isEnabled());
    QVERIFY(dialog.KeepAliveMinutes()->isEnabled());
    dialog.DisconnectIdle()->click();
    QVERIFY(!dialog.KeepAlive()->isChecked());
  }

  void dialUpDialogRefusedOkStaysOpenWithTheValues() {
    engine::GeneralSettings g;
    CDialUpDialog dialog(g, {"provider"});
    dialog.show();
    dialog.Password()->setText("one");
    dialog.Repeat()->setText("two");
    CBoxAnswerer boxes;
    dialog.accept();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.Password()->text(), QString("one"));
    QCOMPARE(dialog.Repeat()->text(), QString("two"));
    dialog.Password()->clear();
    dialog.Repeat()->clear();
    dialog.accept();
    QVERIFY(dialog.isVisible());
    dialog.DisconnectMinutes()->setText("999");
    dialog.accept();
    QVERIFY(dialog.isVisible());
    QCOMPARE(boxes.texts, (std::vector<std::string>{
                              "You enter a different password in the Repeat Password field!",
                              "You forgot to enter a password in the Password field!",
                              "Please enter an integer between 0 and 255."}));
    dialog.DisconnectMinutes()->setText("15");
    dialog.Password()->setText("pw");
    dialog.Repeat()->setText("pw");
    dialog.accept();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.Values().DialUpPasswd, std::string("pw"));
    QCOMPARE(dialog.Values().DialUpProfile, std::string("provider"));
  }

  void daemonsPageRefusesEmailWithoutServers() {
    auto doc = Document(true);
    CProtocolProp page(doc.get());
    QCOMPARE(page.List()->topLevelItemCount(), 7);
    QCOMPARE(page.List()->topLevelItem(2)->text(0), QString("SOCKS"));
    QCOMPARE(page.List()->topLevelItem(2)->text(1), QString("Enabled"));
    QCOMPARE(page.List()->topLevelItem(2)->text(2), QString("127.0.0.221:1080"));
    QCOMPARE(page.List()->topLevelItem(6)->text(2), QString("127.0.0.221:110..."));
    QVERIFY(page.Select("Email"));
    CBoxAnswerer boxes;
    QVERIFY(!page.EnableSelected());
    QCOMPARE(page.List()->topLevelItem(6)->text(1), QString("Disabled"));
    QCOMPARE(boxes.texts.size(), size_t{1});
    QVERIFY(page.Select("SOCKS"));
    QVERIFY(page.DisableSelected());
    QCOMPARE(page.List()->topLevelItem(2)->text(1), QString("Disabled"));
  }

  void daemonDialogRefusedOkStaysOpen() {
    auto doc = Document(true);
    CDaemonConfigDialog dialog(doc->daemons, 2);  // SOCKS
    dialog.show();
    QVERIFY(!dialog.AdvancedButton()->isVisible());  // no settings of its own
    CBoxAnswerer boxes;
    dialog.ListenerBox()->SetListeners({});
    dialog.accept();
    QVERIFY(dialog.isVisible());
    dialog.ListenerBox()->SetListeners({"127.0.0.221:80"});  // HTTP's
    dialog.accept();
    QVERIFY(dialog.isVisible());
    dialog.ListenerBox()->AddressCombo()->setCurrentText("127.0.0.222");
    dialog.ListenerBox()->PortEdit()->setText("70000");
    QVERIFY(!dialog.ListenerBox()->AddEntry(CMessageBoxes(&dialog)));
    QCOMPARE(boxes.texts,
             (std::vector<std::string>{
                 "You forget to enter Proxy IP:Port!",
                 "The Proxy IP:Port 127.0.0.221:80 is used by the HTTP daemon already!",
                 "Please enter an integer between 0 and 65535."}));
    dialog.ListenerBox()->PortEdit()->setText("1081");
    QVERIFY(dialog.ListenerBox()->AddEntry(CMessageBoxes(&dialog)));
    QCOMPARE(dialog.ListenerBox()->Listeners(),
             (std::vector<std::string>{"127.0.0.221:80", "127.0.0.222:1081"}));
  }

  void emailAdvancedNeedsTwoEntries() {
    auto doc = Document(true);
    CDaemonConfigDialog dialog(doc->daemons, 6);  // Email
    QVERIFY(dialog.AdvancedButton()->isVisibleTo(&dialog));
    dialog.ListenerBox()->SetListeners({"127.0.0.221:110"});
    CBoxAnswerer boxes;
    QVERIFY(!dialog.OpenAdvanced());
    QCOMPARE(boxes.texts, std::vector<std::string>{
                              "The Proxy IP Address:Proxy Port list must have two entries!"});
    dialog.show();
    dialog.accept();
    QVERIFY(dialog.isVisible());
    QCOMPARE(boxes.texts.back(),
             std::string("The Proxy IP Address:Proxy Port list must have two entries for Email "
                         "daemon!"));
  }

  void dhcpDialogRefusesInOrderAndKeepsTheValues() {
    CDhcpDialog dialog{engine::DhcpSettings{}};
    dialog.show();
    CBoxAnswerer boxes;
    dialog.accept();
    dialog.From()->setText("10.0.0.10");
    dialog.accept();
    dialog.To()->setText("10.0.0.20");
    dialog.accept();
    dialog.Netmask()->setText("255.255.255.0");
    dialog.Gateway()->setText("10.0.0.1,10.0.1");
    dialog.accept();
    dialog.Gateway()->setText("10.0.0.1,10.0.0.2");
    dialog.Dns()->setText(",10.0.0.1");
    dialog.accept();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.Dns()->text(), QString(",10.0.0.1"));
    QCOMPARE(boxes.texts, (std::vector<std::string>{
                              "DHCP From Address is invalid!", "DHCP To Address is invalid!",
                              "DHCP Subnet Mask is invalid!", "DHCP Default Gateway is invalid!",
                              "DHCP DNS Server is invalid!"}));
    QVERIFY(!dialog.Days()->isEnabled());  // unlimited by default
    dialog.Dns()->clear();
    dialog.accept();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.Values().Gateway, std::string("10.0.0.1,10.0.0.2"));
  }

  void portMappingDialogRefusesAndThenAdds() {
    auto doc = Document(true);
    CPortMapProp page(doc.get());
    CBoxAnswerer boxes(QMessageBox::Yes);
    bool prepared = false;
    QVERIFY(page.Add([&](CPortConfigDialog& dialog) {
      prepared = true;
      dialog.SetResolver([](const std::string&) { return true; });
      // A refused OK first: the dialog stays with what was typed.
      QTimer::singleShot(0, &dialog, [&dialog, &boxes] {
        dialog.NameEdit()->setText("ne:ws");
        dialog.ServerEdit()->setText("127.0.0.1");
        dialog.RemotePortEdit()->setText("119");
        dialog.ListenerBox()->SetListeners({"127.0.0.221:1119"});
        dialog.accept();
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.NameEdit()->text(), QString("ne:ws"));
        dialog.NameEdit()->setText("news");
        dialog.accept();
      });
    }));
    QVERIFY(prepared);
    QCOMPARE(boxes.texts, (std::vector<std::string>{
                              "Port Mapping Name can only use alpha-numeric letters!",
                              "This port mapping is disabled. Do you want to enable it at this "
                              "time?"}));
    QCOMPARE(doc->port_maps.size(), size_t{1});
    QCOMPARE(doc->port_maps[0].enable, 1u);
    QCOMPARE(page.List()->topLevelItem(0)->text(0), QString("news"));
    QCOMPARE(page.List()->topLevelItem(0)->text(2), QString("Enabled"));
    QCOMPARE(page.List()->topLevelItem(0)->text(3), QString("tcp"));
    QCOMPARE(page.List()->topLevelItem(0)->text(4), QString("119"));
    // A second mapping of the same name is refused.
    QVERIFY(!page.Add([](CPortConfigDialog& dialog) {
      QTimer::singleShot(0, &dialog, [&dialog] {
        dialog.NameEdit()->setText("NEWS");
        dialog.ServerEdit()->setText("127.0.0.1");
        dialog.RemotePortEdit()->setText("119");
        dialog.ListenerBox()->SetListeners({"127.0.0.221:1120"});
        dialog.accept();
        QVERIFY(dialog.isVisible());
        dialog.reject();
      });
    }));
    QCOMPARE(boxes.texts.back(),
             std::string("This Port Mapping Name is used by another port mapping already!"));
  }

  void activityAndLogLimitsAreChecked() {
    auto doc = Document(true);
    CActivitySettingsBox activity(doc.get());
    CLogSettingsBox log(doc.get());
    CBoxAnswerer boxes;
    activity.MaxConnections()->setText("2001");
    QVERIFY(!activity.TakeValues());
    log.MaxLines()->setText("50001");
    QVERIFY(!log.TakeValues());
    QCOMPARE(boxes.texts, (std::vector<std::string>{
                              "Please enter an integer between 0 and 2000.",
                              "Please enter an integer between 0 and 50000."}));
    activity.MaxConnections()->setText("10");
    QVERIFY(activity.TakeValues());
    QCOMPARE(doc->activity.MaxConnections, 10u);
  }

  void autoHangUpCancelReachesTheEngine() {
    test::CFakeEngine engine;
    MainFrameOptions options;
    options.heartbeat = std::chrono::milliseconds(50);
    options.tray_available = [] { return false; };
    options.settings = [] {
      ManagerSettings s;
      s.use_dial_up = true;
      s.dial_up_managed = true;
      return s;
    };
    options.default_ip = [] { return std::string("127.0.0.1"); };
    options.port = engine.Port();
    options.engine_seams = [] {
      EngineControlSeams s;
      s.systemd_running = [] { return false; };
      s.service.is_running = [] { return -2; };
      s.install_dir = [] { return std::string(); };
      s.engine_lock_held = [] { return false; };
      s.wait = [](std::chrono::milliseconds) {};
      s.auto_run = [] { return false; };
      return s;
    };
    auto* backend = new dialup::CScriptedBackend;
    backend->AddConnection(dialup::kRasConnected);
    options.dial_up_backend = [backend] { return dialup::DialUpBackendPtr(backend); };
    options.document.autostart_file = dir_->File("autostart/quillmar.desktop");
    CMainFrame frame(std::move(options));
    QCOMPARE(frame.Sheet().count(), 5);
    const char* captions[] = {"Activity", "General", "Daemons", "Port Mapping", "Logging"};
    for (int i = 0; i < 5; ++i) {
      QCOMPARE(frame.Sheet().tabText(i), QString(captions[i]));
      QVERIFY(frame.Sheet().isTabEnabled(i));
    }
    frame.show();
    frame.StartHeartbeat();
    QVERIFY(engine.Accept());
    QVERIFY(test::PumpUntil([&] { return frame.Link().IsConnected(); }));
    // The two first requests (daemon list, log) come before anything else.
    QCOMPARE(engine.Read(2 * test::MsgBytes(link::CMsg(link::MSG_GET_LOG)).size()).size(),
             2 * test::MsgBytes(link::CMsg(link::MSG_GET_LOG)).size());
    QVERIFY(engine.Send(test::MsgBytes(link::CMsg(link::MSG_IDLE_HANGUP_WARNING))));
    QVERIFY(test::PumpUntil([&] {
      return frame.AutoHangUpDialog() != nullptr && frame.AutoHangUpDialog()->isVisible();
    }));
    QVERIFY(frame.DialUp().Countdown() <= 5 && frame.DialUp().Countdown() >= 0);
    frame.AutoHangUpDialog()->reject();  // Cancel
    QVERIFY(!frame.AutoHangUpDialog()->isVisible());
    QCOMPARE(frame.DialUp().Countdown(), -1);
    const std::string keep = test::MsgBytes(link::CMsg(link::MSG_KEEP_CONNECTION));
    QCOMPARE(engine.Read(keep.size()), keep);
    QVERIFY(backend->HangUps().empty());
    frame.CloseDocument();
  }
};

}  // namespace qlm::manager

QTEST_MAIN(qlm::manager::SettingsWidgetTest)
#include "settings_widget_test.moc"
