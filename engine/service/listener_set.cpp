// Opening the daemon and port-mapping listeners.
#include "engine/service/listener_set.h"

#include "engine/engine_error_report.h"
#include "engine/service/protocol_table.h"

namespace qlm::engine {

namespace {

// A burst of clients must not wait on a short accept queue: the system's
// largest (net.core.somaxconn caps it).
inline constexpr int kDaemonBacklog = net::kLargestBacklog;

}  // namespace

void OpenListenerSocket(CListenerRecord& record, int backlog, bool reuse_address) {
  record.socket.Create(record.type);
  if (reuse_address) {
    record.socket.SetReuseAddr();
  }
  record.socket.Bind(net::MakeAddress(record.address, static_cast<uint16_t>(record.port)));
  record.socket.GetSockName(&record.local_address);
  if (record.type == net::kStream) {
    record.socket.Listen(backlog);
  }
}

void ReportBindingFailure(ListenerKind kind, const CListenerRecord& record,
                          const net::CBlockingSocketException& failure) {
  const std::string message =
      BindingMessage(kind, record.name, record.address, record.port, failure);
  ReportEngineError(message, true, failure.ErrorCode());
  ShowEngineMessage(message, kErrorBoxTitle);
}

void CListenerSet::ReportOpened(const CListenerRecord& record) const {
  if (opened_) {
    opened_(record);
  }
}

std::vector<std::string> CListenerSet::Keys() const {
  std::lock_guard lock(keys_mutex_);
  return keys_.Keys();
}

bool CListenerSet::KnownKey(const std::string& key) const {
  std::lock_guard lock(keys_mutex_);
  return keys_.Contains(key);
}

void CListenerSet::AddKey(const std::string& key) {
  std::lock_guard lock(keys_mutex_);
  keys_.Add(key);
}

bool CListenerSet::OpenDaemonListeners(const std::vector<DaemonSource>& daemons,
                                       const ListenerAddressing& addressing) {
  bool opened = false;
  for (const DaemonSource& source : daemons) {
    if (!source.enable) {
      continue;
    }
    for (const std::string& text : source.listeners) {
      opened = OpenDaemon(source, text, addressing) || opened;
    }
  }
  return opened;
}

bool CListenerSet::OpenDaemon(const DaemonSource& source, const std::string& text,
                              const ListenerAddressing& addressing) {
  const ListenerAddress listed = SplitDaemonListener(text, source.default_port);
  const std::string ip = EffectiveListenIp(listed.ip, addressing.use_default_ip,
                                           addressing.default_ip, addressing.host_address);
  const std::string key = ListenerKey(ip, source.name, listed.port);
  if (KnownKey(key)) {
    return false;
  }
  auto record = std::make_unique<DaemonRecord>();
  record->security = source.security;
  record->address = ip;
  record->port = listed.port;
  record->type = net::kStream;
  record->name = source.name;
  if (source.prepare) {
    source.prepare(*record);
  }
  try {
    // Address reuse: the connections the proxy closed first sit in TIME_WAIT
    // on this port after a stop, and a restart must still bind it. (On this
    // system reuse never lets a second program listen on a port in use.)
    OpenListenerSocket(*record, kDaemonBacklog, true);
    DatagramListenerMade(*record);
  } catch (const net::CBlockingSocketException& e) {
    ReportBindingFailure(ListenerKind::kDaemon, *record, e);
    return false;
  }
  ReportOpened(*record);
  daemons_.push_back(std::move(record));
  AddKey(key);
  return true;
}

bool CListenerSet::OpenPortMapListeners(const std::vector<PortMapSource>& mappings,
                                        const ListenerAddressing& addressing) {
  bool opened = false;
  for (const PortMapSource& source : mappings) {
    if (!source.enable) {
      continue;
    }
    for (const std::string& text : source.listeners) {
      opened = OpenPortMap(source, text, addressing) || opened;
    }
  }
  return opened;
}

bool CListenerSet::OpenPortMap(const PortMapSource& source, const std::string& text,
                               const ListenerAddressing& addressing) {
  const std::optional<ListenerAddress> listed = SplitPortMapListener(text);
  if (!listed) {
    return false;
  }
  const std::string ip = EffectiveListenIp(listed->ip, addressing.use_default_ip,
                                           addressing.default_ip, addressing.host_address);
  const std::string key = ListenerKey(ip, source.name, listed->port);
  if (KnownKey(key)) {
    return false;
  }
  auto record = std::make_unique<PortMapListener>();
  record->address = ip;
  record->port = listed->port;
  record->type = source.protocol == "tcp" ? net::kStream : net::kDatagram;
  record->name = source.name;
  record->rule = source.rule;
  record->bi_udp = source.bi_udp;
  record->remote_server = source.remote_server;
  record->remote_port = source.remote_port;
  record->out_port = source.out_port;
  record->client_port = source.client_port;
  try {
    OpenListenerSocket(*record, kDaemonBacklog, true);
  } catch (const net::CBlockingSocketException& e) {
    ReportBindingFailure(ListenerKind::kPortMap, *record, e);
    return false;
  }
  ReportOpened(*record);
  port_maps_.push_back(std::move(record));
  AddKey(key);
  return true;
}

}  // namespace qlm::engine
