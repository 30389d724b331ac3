// What the manager reads from the configuration store: the engine's address
// for the link, the start-up and dial-up switches, the log viewer's switch,
// and the maker's support page and feedback address (values of the
// application key, empty unless an installer sets them).
#pragma once

#include <cstdint>
#include <string>

namespace qlm::manager {

// Values directly under the product root.
inline constexpr char kSupportPageValue[] = "SupportPage";
inline constexpr char kFeedbackAddressValue[] = "FeedbackAddress";

struct ManagerSettings {
  std::string default_ip;       // General "DefaultIP"
  bool auto_load = false;       // General "AutoLoad"
  bool auto_run = false;        // General "AutoRun"
  bool use_dial_up = false;     // General "UseDialUp"
  bool dial_up_managed = false; // General "DialUpManaged"
  std::string dial_up_profile;  // General "DialUpProfile"
  std::string dial_up_user;     // General "DialUpUserId"
  std::string dial_up_password; // General "DialUpPasswd"
  bool disconnect_on_exit = false;  // General "Disconnect"
  bool log_enable = false;      // Log "Enable"
  std::string install_dir;      // root "InstallDir"
  std::string support_page;     // root "SupportPage"
  std::string feedback_address; // root "FeedbackAddress"
};

// Reads every value now (the store may change while the manager runs).
ManagerSettings ReadManagerSettings();
// The engine's address for the link: General "DefaultIP", empty when unset.
std::string ReadDefaultIp();
// The folder of the installed programs, empty when unknown.
std::string ReadInstallDir();

// $QUILLMAR_MANAGER_PORT when it is a port number, else 6501 (the engine
// reads the same variable).
uint16_t ManagerPortFromEnvironment();
// $QUILLMAR_RUNDIR when set and not empty, else /run/quillmar.
std::string ManagerRunDir();

}  // namespace qlm::manager
