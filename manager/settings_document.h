// The settings the pages edit: the records of the engine's configuration
// model (General, Daemons, PortMap, Activity, Log), loaded from the store and
// saved back through the same model the engine reads, one store transaction
// per section so that a half-saved section never reaches the engine. The
// General page's loading rules (the system's automatic-dial flag, the idle
// hang-up defaults, dial-up off without a backend) and the manager's log-on
// start file live here too, so every rule is tested without a window.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/config/activity_settings.h"
#include "engine/config/general_settings.h"
#include "engine/config/log_settings.h"
#include "engine/config/port_map_settings.h"
#include "engine/config/protocol_settings.h"

namespace qlm::manager {

struct SettingsDocumentOptions {
  // Whether a dial-up backend exists ("rasapi32" loads).
  std::function<bool()> dial_up_available;
  // The host's first address (default listeners, an empty DefaultIP).
  std::function<std::string()> host_address;
  // The manager's log-on start file (default: the XDG autostart folder).
  std::string autostart_file;
  // The program that file starts (default: InstallDir/quillmar).
  std::string manager_program;
};

class CSettingsDocument {
 public:
  explicit CSettingsDocument(SettingsDocumentOptions options = {});

  // Reads every section now.
  void Load();
  // Writes every section, each in its own transaction; false when one did
  // not commit (the others are written all the same).
  bool Save();

  bool SaveGeneral();
  bool SaveDaemons();
  bool SavePortMaps();
  bool SaveActivity();
  bool SaveLog();

  bool DialUpAvailable() const { return options_.dial_up_available(); }
  const std::string& AutostartFile() const { return options_.autostart_file; }

  engine::GeneralSettings general;
  std::vector<engine::ProtocolSettings> daemons;
  std::vector<engine::PortMapSettings> port_maps;
  engine::ActivitySettings activity;
  engine::LogSettings log;

 private:
  void LoadGeneral();
  void WriteAutostart() const;

  SettingsDocumentOptions options_;
};

// $XDG_CONFIG_HOME/autostart/quillmar.desktop, else ~/.config/autostart/...
std::string DefaultAutostartFile();
// The proxy-address list of the pages: the host's own IPv4 addresses, then
// "127.0.0.1" (once).
std::vector<std::string> ProxyAddressChoices();

}  // namespace qlm::manager
