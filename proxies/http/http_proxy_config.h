// What the HTTP proxy takes from the engine around it: its time-outs, the
// General flags it reads (dial-up use, dial-control pages, update check), the
// dial-up operations and the update-check signal. The proxy's configure step
// sets it once before the listeners open; each connection works from the
// snapshot its client object took when it was made. Tests set their own
// (short time-outs, fake dial-up).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "net/timeout.h"
#include "proxies/ftp_mail/ftp_config.h"
#include "proxies/http/http_wire.h"

namespace qlm::http {

// The dial-up manager as the proxy sees it. Empty members use the engine's
// DialUpManager.
struct HttpDialUp {
  std::function<bool()> is_connected;
  std::function<bool()> auto_dial_wanted;  // for a page, not a name look-up
  std::function<void()> request_dial;
  std::function<void()> request_hang_up;
  std::function<bool()> wait_for_connection;
  std::function<std::string()> status_text;
};

// Every wait of the proxy; the defaults are the proxy's, tests pass shorter.
struct HttpTimeouts {
  net::Timeout client_request{std::chrono::seconds(30)};        // waiting for a request head
  net::Timeout client_send{std::chrono::seconds(30)};           // every send to the client
  net::Timeout keep_alive_wait{std::chrono::seconds(20)};       // silence between requests
  net::Timeout server_connect{std::chrono::seconds(120)};       // outward connect
  net::Timeout request_relay{std::chrono::seconds(90)};         // request head and body
  net::Timeout response_relay{std::chrono::seconds(180)};       // a whole response, in rounds
  net::Timeout response_round{std::chrono::seconds(15)};        // one head read / silence round
  net::Timeout request_body_receive{std::chrono::seconds(30)};  // each client body receive
  net::Timeout tunnel_idle{std::chrono::seconds(180)};          // CONNECT tunnel idleness
  net::Timeout dial_page_poll{std::chrono::seconds(2)};         // dial-control page status poll
  int dial_page_rounds = 60;
  std::chrono::seconds linger{30};                               // client and server sockets
  ftp::FtpClientTimeouts ftp;  // the FTP gateway's server connection and data reads
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
