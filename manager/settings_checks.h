// The checks the settings pages and their dialogs make before a value is
// accepted, apart from any widget: each answers the message to show, or
// nothing when the input passes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/config/port_map_settings.h"
#include "engine/config/protocol_settings.h"

namespace qlm::manager {

using CheckResult = std::optional<std::string>;

// Field limits: a number in [min, max] (stored in *value), a text of at most
// `max` characters.
CheckResult CheckIntegerField(const std::string& text, long min, long max, long* value);
CheckResult CheckTextLength(const std::string& text, size_t max);

// One dotted IPv4 address as the DHCP lists take it: digits and exactly three
// dots, every part present and at most 255, and not 255.255.255.255.
bool IsDottedAddress(const std::string& item);
// A comma-separated list of such addresses, at least one; a trailing comma is
// ignored, an empty item before another one is not.
bool IsValidAddressList(const std::string& text);

// Dial-Up Networking dialog: the two password fields.
CheckResult CheckPasswords(const std::string& password, const std::string& repeat);

// Daemons page "Enable" on `daemon`.
CheckResult CheckDaemonEnable(const engine::ProtocolSettings& daemon);
// Daemon Configuration dialog's OK on the address list of daemon `name`.
CheckResult CheckDaemonListeners(const std::string& name,
                                 const std::vector<std::string>& listeners);
// Whether the Email "Advanced..." dialog may open on this address list.
CheckResult CheckEmailAdvancedOpen(const std::vector<std::string>& listeners);
// The SMTP proxy port field: not empty and not "110".
CheckResult CheckSmtpProxyPort(const std::string& text);

// The DHCP Configuration dialog's texts, as entered.
struct DhcpFields {
  std::string from;
  std::string to;
  std::string netmask;
  std::string gateway;  // checked only when not empty
  std::string dns;      // checked only when not empty
};
CheckResult CheckDhcp(const DhcpFields& fields);

// Port Configuration dialog, the checks before the name lookup.
CheckResult CheckPortMap(const engine::PortMapSettings& map);

// Duplicates that would overwrite each other in the store: a listener text
// held by another daemon (`daemon_index` is the one being edited), a mapping
// name or a mapping listener (with its transport) held by another mapping.
CheckResult CheckDaemonListenerConflicts(const std::vector<engine::ProtocolSettings>& daemons,
                                         size_t daemon_index,
                                         const std::vector<std::string>& listeners);
CheckResult CheckPortMapConflicts(const std::vector<engine::PortMapSettings>& maps,
                                  size_t map_index, const engine::PortMapSettings& map);

// "ip:port" from the two parts of an address-list row.
std::string ListenerText(const std::string& ip, long port);
// The port of a listener text; `fallback` when it has none.
long ListenerPort(const std::string& listener, long fallback);

// Whether `name` resolves (a dotted address always does).
bool ResolvesHostName(const std::string& name);

}  // namespace qlm::manager
