// What the listener openers read from the configuration: per daemon and per
// port mapping the values that decide its listeners, in load order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/listener_record.h"

namespace qlm::engine {

struct DaemonSource {
  std::string name;
  int default_port = 0;
  bool enable = false;
  uint32_t security = 0;
  std::vector<std::string> listeners;  // "ip:port" or "ip"
  // Attaches the copies of the daemon's own settings a protocol needs and
  // makes DNS and DHCP listeners datagram listeners; may be empty.
  std::function<void(DaemonRecord&)> prepare;
};

struct PortMapSource {
  std::string name;
  std::string rule;
  bool bi_udp = false;
  std::vector<std::string> listeners;  // "ip:port"; a bare "ip" is skipped
  std::string remote_server;
  uint32_t remote_port = 0;
  uint32_t out_port = 0;
  std::string protocol;  // "tcp" exactly: stream; anything else datagram
  uint32_t client_port = 0;
  bool enable = false;
};

struct ListenerAddressing {
  bool use_default_ip = true;   // "UseDefaultIP"
  std::string default_ip;       // "DefaultIP"
  std::string host_address;     // the host's first address, or "127.0.0.1"
};

}  // namespace qlm::engine
