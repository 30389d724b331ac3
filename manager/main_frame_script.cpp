// The settings steps the test hooks can run: the same pages, dialogs and
// buttons the administrator uses, filled from a line of words.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTimer>
#include <sstream>

#include "manager/all_controls_sheet.h"
#include "manager/auto_hang_up_dialog.h"
#include "manager/daemon_config_dialog.h"
#include "manager/dhcp_dialog.h"
#include "manager/dial_up_dialog.h"
#include "manager/dns_dialog.h"
#include "manager/email_dialog.h"
#include "manager/general_prop.h"
#include "manager/listener_list_box.h"
#include "manager/main_frame.h"
#include "manager/manager_trace.h"
#include "manager/message_boxes.h"
#include "manager/port_config_dialog.h"
#include "manager/port_map_prop.h"
#include "manager/protocol_prop.h"

namespace qlm::manager {

namespace {

// Runs `work` on the dialog once its own event loop runs.
template <class TDialog>
void WhenShown(TDialog& dialog, std::function<void(TDialog&)> work) {
  QTimer::singleShot(0, &dialog, [&dialog, work] { work(dialog); });
}

const engine::ProtocolSettings* FindDaemon(const CSettingsDocument& doc, const std::string& name) {
  for (const engine::ProtocolSettings& d : doc.daemons) {
    if (d.name == name) {
      return &d;
    }
  }
  return nullptr;
}

}  // namespace

void CMainFrame::RunScript(const std::string& line) {
  Trace("Script: " + line);
  std::istringstream in(line);
  std::string verb;
  in >> verb;
  if (verb == "daemon-listener-add") {
    std::string name, ip, port;
    in >> name >> ip >> port;
    ShowPage(CAllControlsSheet::kDaemonsPage);
    if (sheet_->ProtocolProp()->Select(name)) {
      sheet_->ProtocolProp()->ConfigureSelected([ip, port](CDaemonConfigDialog& dialog) {
        WhenShown<CDaemonConfigDialog>(dialog, [ip, port](CDaemonConfigDialog& d) {
          d.ListenerBox()->AddressCombo()->setCurrentText(QString::fromStdString(ip));
          d.ListenerBox()->PortEdit()->setText(QString::fromStdString(port));
          d.ListenerBox()->AddEntry(CMessageBoxes(&d));
          d.accept();
        });
      });
    }
  } else if (verb == "portmap-add") {
    std::string name, server, port, ip, listen_port;
    in >> name >> server >> port >> ip >> listen_port;
    ShowPage(CAllControlsSheet::kPortMapPage);
    sheet_->PortMapProp()->Add([=](CPortConfigDialog& dialog) {
      WhenShown<CPortConfigDialog>(dialog, [=](CPortConfigDialog& d) {
        d.NameEdit()->setText(QString::fromStdString(name));
        d.ServerEdit()->setText(QString::fromStdString(server));
        d.RemotePortEdit()->setText(QString::fromStdString(port));
        d.ListenerBox()->AddressCombo()->setCurrentText(QString::fromStdString(ip));
        d.ListenerBox()->PortEdit()->setText(QString::fromStdString(listen_port));
        d.ListenerBox()->AddEntry(CMessageBoxes(&d));
        d.accept();
      });
    });
  } else if (verb == "open") {
    std::string what, name;
    in >> what >> name;
    if (what == "dialup") {
      ShowPage(CAllControlsSheet::kGeneralPage);
      sheet_->GeneralProp()->OpenDialUpSettings();
    } else if (what == "daemon") {
      ShowPage(CAllControlsSheet::kDaemonsPage);
      if (sheet_->ProtocolProp()->Select(name)) {
        sheet_->ProtocolProp()->ConfigureSelected();
      }
    } else if (what == "email") {
      const engine::ProtocolSettings* email = FindDaemon(*document_, "Email");
      CEmailDialog dialog(
          email != nullptr && email->Email() ? *email->Email() : engine::EmailSettings{},
          email != nullptr ? email->listeners : std::vector<std::string>{}, this);
      dialog.exec();
    } else if (what == "dns") {
      const engine::ProtocolSettings* dns = FindDaemon(*document_, "DNS");
      CDnsDialog dialog(dns != nullptr && dns->Dns() ? *dns->Dns() : engine::DnsSettings{}, this);
      dialog.exec();
    } else if (what == "dhcp") {
      CDhcpDialog dialog(engine::DhcpSettings{}, this);
      dialog.exec();
    } else if (what == "portmap") {
      ShowPage(CAllControlsSheet::kPortMapPage);
      sheet_->PortMapProp()->Add();
    }
  } else if (verb == "close") {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      dialog->reject();
    }
  } else if (verb == "autohangup") {
    std::string button;
    in >> button;
    if (auto_hang_up_ != nullptr && auto_hang_up_->isVisible()) {
      button == "ok" ? auto_hang_up_->accept() : auto_hang_up_->reject();
    }
  } else if (verb == "ok") {
    SheetOk();
  } else if (verb == "apply") {
    SheetApply();
  } else if (verb == "cancel") {
    SheetCancel();
  }
  ++scripts_done_;
}

}  // namespace qlm::manager
