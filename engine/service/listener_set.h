// The engine's open listeners: the daemon list, the port-mapping listener
// list and the "%s:%s:%d" keys of both. Built once at start-up, read-only
// afterwards, alive until the process ends.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/service/binding_message.h"
#include "engine/service/daemon_server_thread.h"
#include "engine/service/listener_sources.h"
#include "engine/service/listener_text.h"
#include "engine/port_map_listener.h"

namespace qlm::engine {

class CListenerSet {
 public:
  // OpenDaemonListeners: one listener per listener text of every enabled
  // daemon; a key already open is skipped, a listener that fails to open
  // gets the binding message and the next one is tried. Returns whether any
  // listener was opened (the caller then starts DaemonServerThreadProc).
  bool OpenDaemonListeners(const std::vector<DaemonSource>& daemons,
                           const ListenerAddressing& addressing);
  // OpenPortMapListeners: the same for the enabled port mappings.
  bool OpenPortMapListeners(const std::vector<PortMapSource>& mappings,
                            const ListenerAddressing& addressing);

  // Called for each listener as it opens (the -debug console shows them).
  void OnOpened(std::function<void(const CListenerRecord&)> opened) { opened_ = std::move(opened); }

  const DaemonList& Daemons() const { return daemons_; }
  const PortMapList& PortMaps() const { return port_maps_; }
  // Every opened listener's key, in opening order. Any thread: the manager
  // channel may ask while the listeners are still being opened.
  std::vector<std::string> Keys() const;

 private:
  bool OpenDaemon(const DaemonSource& source, const std::string& text,
                  const ListenerAddressing& addressing);
  bool OpenPortMap(const PortMapSource& source, const std::string& text,
                   const ListenerAddressing& addressing);

  void ReportOpened(const CListenerRecord& record) const;
  bool KnownKey(const std::string& key) const;
  void AddKey(const std::string& key);

  std::function<void(const CListenerRecord&)> opened_;
  DaemonList daemons_;
  PortMapList port_maps_;
  mutable std::mutex keys_mutex_;
  CListenerKeyList keys_;  // Guarded by keys_mutex_
};

// Creates, binds and (for stream listeners) listens the record's socket;
// throws CBlockingSocketException.
void OpenListenerSocket(CListenerRecord& record, int backlog, bool reuse_address);
// The binding message to the system log and to the administrator.
void ReportBindingFailure(ListenerKind kind, const CListenerRecord& record,
                          const net::CBlockingSocketException& failure);

}  // namespace qlm::engine
