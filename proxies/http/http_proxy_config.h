// What the HTTP proxy takes from the engine around it: its time-outs, the
// General flags it reads (dial-up use, dial-control pages, update check), the
// dial-up operations and the update-check signal. The engine sets it once
// before its listeners open; each connection thread works from the snapshot
// it took at its start. Tests set their own (short time-outs, fake dial-up).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "proxies/http/http_wire.h"

namespace qlm::http {

// The dial-up manager as the proxy sees it. Empty members use the engine's
// DialUpManager (or, in a build without it, a line that is never down).
struct HttpDialUp {
  std::function<bool()> is_connected;
  std::function<bool()> auto_dial_wanted;  // for a page, not a name look-up
  std::function<void()> request_dial;
  std::function<void()> request_hang_up;
  std::function<bool()> wait_for_connection;
  std::function<std::string()> status_text;
};

struct HttpProxyConfig {
  HttpTimeouts timeouts;
  // General.
  bool UseDialUp = false;
  bool DialUpManaged = false;
  bool AutoConnect = false;
  bool DialOnControl = true;  // the dial-control pages answer only while on
  bool AutoUpdate = true;
  HttpDialUp dial_up;
  // The release update check: whether it has started, and its start signal
  // (UpdateCheckEvent). Empty: never started / nothing signalled.
  std::function<bool()> update_check_started;
  std::function<void()> signal_update_check;
  // The name this host gives in Via fields. Empty: gethostname.
  std::function<std::string()> host_name;
};

// Replaces the configuration for connections started from now on.
void ConfigureHttpProxy(HttpProxyConfig config);
// The current configuration, with every empty dial-up member filled in.
std::shared_ptr<const HttpProxyConfig> HttpProxyConfiguration();

// The local host name for Via; throws
// "CHttpBlockingSocket::ProcessViaHeader:gethostname error".
std::string LocalHostName(const HttpProxyConfig& config);

}  // namespace qlm::http
