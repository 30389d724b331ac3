// The service body.
#include "engine/service/service_body.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <thread>

#include "dialup/dial_up_manager.h"
#include "dialup/pppd_backend.h"
#include "engine/activity_log.h"
#include "engine/connection_limit.h"
#include "engine/engine_error_report.h"
#include "engine/log_file.h"
#include "engine/manager_channel.h"
#include "engine/service/main_loop.h"
#include "engine/service/protocol_table.h"
#include "engine/service/service_texts.h"
#include "link/msg.h"
#include "net/shutdown_socket.h"
#include "net/winsock_errors.h"
#ifdef QLM_HAVE_HTTP
#include "proxies/http/http_proxy_config.h"
#endif

namespace qlm::engine {

namespace {

void StartThread(const char* what, std::function<void()> body) {
  try {
    std::thread(std::move(body)).detach();
  } catch (const std::system_error&) {
    ReportEngineError(std::string("Can not start ") + what, true);
  }
}

// Binds DefaultIP (empty: any address) and the manager port, backlog 1.
bool OpenManagerSocket(Engine& engine, uint16_t port) {
  const std::string& ip = engine.config->addressing.default_ip;
  try {
    engine.manager_socket.Create(net::kStream);
    sockaddr_in address = net::MakeAddress(ip, port);
    if (ip.empty()) {
      address.sin_addr.s_addr = htonl(INADDR_ANY);
    }
    engine.manager_socket.Bind(address);
    engine.manager_socket.Listen(link::kManagerListenBacklog);
    return true;
  } catch (const net::CBlockingSocketException& e) {
    std::string text = e.GetErrorText();
    if (e.ErrorCode() == net::WSAEADDRINUSE || e.ErrorCode() == net::WSAEADDRNOTAVAIL) {
      char message[256];
      std::snprintf(message, sizeof message, kManagerBindFailedFormat, ip.c_str(), port);
      text = message;
    }
    ReportEngineError(text, true, e.ErrorCode());
    ShowEngineMessage(text, kErrorBoxTitle);
    engine.manager_socket.Close();
    return false;
  }
}

void ConfigureDialUp(const EngineConfiguration& config, CEngineEvents& events) {
  dialup::DialUpHooks hooks;
  hooks.signal_dial = [&events] { events.Signal(EngineEvent::kDial); };
  hooks.signal_hang_up = [&events] { events.Signal(EngineEvent::kHangUp); };
  hooks.send_idle_hangup_warning = [] {
    SendToManager(link::CMsg(link::MSG_IDLE_HANGUP_WARNING));
  };
  hooks.report_engine_error = [](const std::string& text, bool is_error) {
    ReportEngineError(text, is_error);
  };
  hooks.show_message = [](const std::string& text, const std::string& title) {
    ShowEngineMessage(text, title);
  };
  dialup::DialUpManager::Instance().Configure(config.dial_up, std::move(hooks),
                                              dialup::MakePlatformBackend());
}

#ifdef QLM_HAVE_HTTP
// The HTTP proxy reads the General flags it acts on, and signals the update
// check once, on the first response that passes it.
void ConfigureHttp(const EngineConfiguration& config, CEngineEvents& events) {
  static std::atomic<bool> update_check_signalled{false};
  http::HttpProxyConfig http;
  http.UseDialUp = config.dial_up.UseDialUp;
  http.DialUpManaged = config.dial_up.DialUpManaged;
  http.AutoConnect = config.dial_up.AutoConnect;
  http.DialOnControl = config.dial_up.DialOnControl;
  http.AutoUpdate = config.auto_update;
  http.update_check_started = [] { return update_check_signalled.load(); };
  http.signal_update_check = [&events] {
    if (!update_check_signalled.exchange(true)) {
      events.Signal(EngineEvent::kUpdateCheck);
    }
  };
  http::ConfigureHttpProxy(std::move(http));
}
#endif

void StartManagerChannel(Engine& engine, CEngineEvents& events) {
  ManagerChannelHooks hooks;
  hooks.stop_engine = [&events] { events.Signal(EngineEvent::kStop); };
  hooks.listener_keys = [&engine] { return engine.listeners.Keys(); };
  hooks.keep_connection = [] { dialup::DialUpManager::Instance().KeepConnection(); };
  SetManagerChannelHooks(std::move(hooks));
  StartThread("ManagerServerThreadProc",
              [&engine] { ManagerServerThreadProc(&engine.manager_socket); });
}

void OpenListeners(Engine& engine) {
  const EngineConfiguration& config = *engine.config;
  CListenerSet& listeners = engine.listeners;
  if (listeners.OpenDaemonListeners(config.daemons, config.addressing)) {
    StartThread("DaemonServerThreadProc", [&listeners] {
      DaemonServerThreadProc(std::make_unique<ConnectionContext>(), &listeners.Daemons());
    });
  }
  if (listeners.OpenPortMapListeners(config.port_maps, config.addressing)) {
    // Without a port-mapping server the listeners stay open and unserved.
    if (PortMapServerProc serve = PortMapServer()) {
      StartThread("PortMapThreadProc",
                  [serve] { serve(std::make_unique<ConnectionContext>()); });
    }
  }
}

MainLoopActions DialUpActions() {
  MainLoopActions actions;
  actions.dial_up_tick = [] { dialup::DialUpManager::Instance().PollStatus(); };
  actions.dial = [] { dialup::DialUpManager::Instance().Dial(); };
  actions.hang_up = [] { dialup::DialUpManager::Instance().HangUp(); };
  return actions;
}

}  // namespace

uint16_t ManagerPortFromEnvironment() {
  const char* text = std::getenv("QUILLMAR_MANAGER_PORT");
  if (text != nullptr) {
    char* end = nullptr;
    const long port = std::strtol(text, &end, 10);
    if (end != text && *end == '\0' && port > 0 && port < 65536) {
      return static_cast<uint16_t>(port);
    }
  }
  return link::kManagerPort;
}

ServiceResult RunServiceBody(Engine& engine, CEngineEvents& events, const ServiceOptions& options) {
  engine.config = options.load();
  const EngineConfiguration& config = *engine.config;
  if (config.log_enable) {
    SetLogMaxLines(config.max_lines);
    OpenLog(config.log_file);
  }
  SetActivityEnabled(config.activity_enable);
  CConnectionLimit::Instance().Reset(config.max_connections);
  net::CShutdownSocket::Instance();
  if (!OpenManagerSocket(engine, options.manager_port)) {
    return ServiceResult::kNotStarted;
  }
  ConfigureDialUp(config, events);
#ifdef QLM_HAVE_HTTP
  ConfigureHttp(config, events);
#endif
  StartManagerChannel(engine, events);
  OpenListeners(engine);

  CMainLoop(events, DialUpActions()).Run();

  net::CShutdownSocket::Instance().Close();
  std::this_thread::sleep_for(options.stop_pause);
  return ServiceResult::kStopped;
}

}  // namespace qlm::engine
