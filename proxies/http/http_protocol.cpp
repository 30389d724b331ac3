// The HTTP proxy's entry in the engine.
#include "proxies/http/http_protocol.h"

#include "engine/timeout_overrides.h"

#include "proxies/http/http_client_socket.h"
#include "proxies/http/http_client_thread.h"

namespace qlm::http {
namespace {

std::unique_ptr<net::CBlockingSocket> MakeClient() {
  return std::make_unique<CHttpClientSocket>();
}

void Configure(const engine::ProtocolSetup& setup) { ConfigureHttpProxy(HttpConfigFrom(setup)); }

}  // namespace

HttpProxyConfig HttpConfigFrom(const engine::ProtocolSetup& setup) {
  const engine::GeneralSettings& general = setup.general;
  HttpProxyConfig http;
  http.UseDialUp = general.UseDialUp != 0;
  http.DialUpManaged = general.DialUpManaged != 0;
  http.AutoConnect = general.AutoConnect != 0;
  http.DialOnControl = general.DialOnControl != 0;
  http.AutoUpdate = general.AutoUpdate != 0;
  http.update_check_started = setup.update_check_started;
  http.signal_update_check = setup.signal_update_check;
  http.timeouts.client_request =
      engine::TimeoutOr("http.client_request", http.timeouts.client_request);
  return http;
}

const engine::StreamProtocol& HttpProtocol() {
  static const engine::StreamProtocol entry{"HTTP", &MakeClient, &HttpClientThreadProc,
                                            &Configure};
  return entry;
}

}  // namespace qlm::http
