// The service body.
#include "engine/service/service_body.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <thread>

#include "dialup/dial_up_manager.h"
#include "dialup/pppd_backend.h"
#include "dialup/update/update_check.h"
#include "engine/activity_log.h"
#include "engine/connection_limit.h"
#include "engine/engine_error_report.h"
#include "engine/log_file.h"
#include "engine/manager_channel.h"
#include "engine/service/main_loop.h"
#include "engine/service/protocol_table.h"
#include "engine/service/service_notify.h"
#include "engine/service/service_texts.h"
#include "link/msg.h"
#include "net/shutdown_socket.h"
#include "net/winsock_errors.h"

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
    // A restart right after a manager session must not find the port held
    // by the old connection's TIME_WAIT.
    engine.manager_socket.SetReuseAddr();
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

// What every protocol is handed before the listeners open: the General
// section (with dial-up off when no backend can dial) and the update-check
// signal, which starts the check on its first call only.
ProtocolSetup MakeProtocolSetup(const EngineConfiguration& config, CEngineEvents& events) {
  static std::atomic<bool> update_check_signalled{false};
  ProtocolSetup setup;
  setup.general = config.general;
  if (!dialup::DialUpManager::Instance().Available()) {
    // As for a missing dial-up library: no page, no wait, no dial.
    setup.general.UseDialUp = 0;
    setup.general.DialUpManaged = 0;
    setup.general.AutoConnect = 0;
  }
  setup.update_check_started = [] { return update_check_signalled.load(); };
  setup.signal_update_check = [&events] {
    if (!update_check_signalled.exchange(true)) {
      events.Signal(EngineEvent::kUpdateCheck);
    }
  };
  return setup;
}

void StartManagerChannel(Engine& engine, CEngineEvents& events) {
  ManagerChannelHooks hooks;
  hooks.stop_engine = [&events] { events.Signal(EngineEvent::kStop); };
  hooks.listener_keys = [&engine] { return engine.listeners.Keys(); };
  hooks.keep_connection = [] { dialup::DialUpManager::Instance().KeepConnection(); };
  SetManagerChannelHooks(std::move(hooks));
  StartThread("ManagerServerThreadProc",
              [&engine] { ManagerServerThreadProc(&engine.manager_socket); });
}

void OpenListeners(Engine& engine, const ServiceOptions& options) {
  const EngineConfiguration& config = *engine.config;
  CListenerSet& listeners = engine.listeners;
  listeners.OnOpened(options.listener_opened);
  if (listeners.OpenDaemonListeners(config.daemons, config.addressing)) {
    StartThread("DaemonServerThreadProc", [&listeners] {
      DaemonServerThreadProc(std::make_unique<ConnectionContext>(), &listeners.Daemons());
    });
  }
  if (listeners.OpenPortMapListeners(config.port_maps, config.addressing)) {
    // Without a port-mapping server the listeners stay open and unserved.
    if (const PortMapService* service = FindPortMapService()) {
      StartThread("PortMapThreadProc", [service, &listeners] {
        service->serve(std::make_unique<ConnectionContext>(), &listeners.PortMaps());
      });
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
  ConfigureProtocols(MakeProtocolSetup(config, events));
  StartManagerChannel(engine, events);
  OpenListeners(engine, options);
  NotifyServiceReady();

  MainLoopActions actions = DialUpActions();
  actions.start_update_check = &update::StartUpdateCheck;
  CMainLoop(events, std::move(actions)).Run();
  NotifyServiceStopping();

  net::CShutdownSocket::Instance().Close();
  std::this_thread::sleep_for(options.stop_pause);
  return ServiceResult::kStopped;
}

}  // namespace qlm::engine
