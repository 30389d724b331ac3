// The proxy's configuration snapshot and its defaults.
#include "proxies/http/http_proxy_config.h"

#include <unistd.h>

#include <mutex>

#include "dialup/dial_up_manager.h"
#include "net/blocking_socket_exception.h"
#include "proxies/http/http_texts.h"

namespace qlm::http {
namespace {

std::mutex g_config_mutex;
std::shared_ptr<const HttpProxyConfig> g_config;  // Guarded by g_config_mutex

void FillDialUp(HttpDialUp* d) {
  auto& m = dialup::DialUpManager::Instance();
  if (!d->is_connected) d->is_connected = [&m] { return m.IsConnected(); };
  if (!d->auto_dial_wanted) d->auto_dial_wanted = [&m] { return m.AutoDialWanted(false); };
  if (!d->request_dial) d->request_dial = [&m] { m.RequestDial(); };
  if (!d->request_hang_up) d->request_hang_up = [&m] { m.RequestHangUp(); };
  if (!d->wait_for_connection) d->wait_for_connection = [&m] { return m.WaitForConnection(); };
  if (!d->status_text) d->status_text = [&m] { return m.StatusText(); };
}

}  // namespace

void ConfigureHttpProxy(HttpProxyConfig config) {
  FillDialUp(&config.dial_up);
  auto shared = std::make_shared<const HttpProxyConfig>(std::move(config));
  std::lock_guard lock(g_config_mutex);
  g_config = std::move(shared);
}

std::shared_ptr<const HttpProxyConfig> HttpProxyConfiguration() {
  {
    std::lock_guard lock(g_config_mutex);
    if (g_config) {
      return g_config;
    }
  }
  ConfigureHttpProxy({});
  std::lock_guard lock(g_config_mutex);
  return g_config;
}

std::string LocalHostName(const HttpProxyConfig& config) {
  if (config.host_name) {
    return config.host_name();
  }
  char name[256] = {};
  if (gethostname(name, sizeof(name) - 1) != 0) {
    throw net::CBlockingSocketException(kTextHostNameFailed);
  }
  return name;
}

}  // namespace qlm::http
