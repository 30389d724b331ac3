// What a protocol library hands the engine: one entry per daemon name it
// serves (a stream protocol's client factory and thread procedure, or a
// datagram protocol's start), the port-mapping server, and the configure step
// through which the engine gives it its settings once at start-up, before any
// listener opens. The build lists every linked library's entries, so adding a
// protocol touches only its own folder.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "engine/config/general_settings.h"
#include "engine/connection_context.h"
#include "engine/port_map_listener.h"
#include "net/blocking_socket.h"

namespace qlm::engine {

// What the engine gives every protocol at start-up. Read-only afterwards.
struct ProtocolSetup {
  GeneralSettings general;  // the General section as loaded
  // UpdateCheckEvent: the first call starts the release update check; later
  // ones do nothing. update_check_started tells whether it has been called.
  std::function<void()> signal_update_check = [] {};
  std::function<bool()> update_check_started = [] { return false; };
};

using ConfigureProc = void (*)(const ProtocolSetup& setup);

struct StreamProtocol {
  const char* name;  // the daemon name, compared exactly
  // The client object created before the accept.
  std::unique_ptr<net::CBlockingSocket> (*make_client)();
  ConnectionThreadProc thread_proc;
  ConfigureProc configure = nullptr;
};

struct DatagramProtocol {
  const char* name;
  // Shorter datagrams are dropped without a word.
  size_t min_length;
  // Builds the request object from the context (Daemon, Data = the datagram,
  // Address = its sender) and starts the protocol's thread with it, or drops
  // it. Null: the datagrams are logged like those of an unknown daemon.
  void (*start)(ConnectionContextPtr context);
  ConfigureProc configure = nullptr;
  // Called once each listener of the daemon is bound, before the dispatcher
  // starts: the protocol sets up what it serves from the record (its
  // settings copy) and may re-open the record's socket (DHCP ties it to an
  // interface). A CBlockingSocketException counts as the listener failing to
  // open. Null: nothing to do.
  void (*listener_made)(DaemonRecord& record) = nullptr;
};

// The thread that serves every port-mapping listener of the list (which
// lives until the process ends).
struct PortMapService {
  int (*serve)(ConnectionContextPtr context, const PortMapList* listeners);
  ConfigureProc configure = nullptr;
};

}  // namespace qlm::engine
