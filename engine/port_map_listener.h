// One open port-mapping listener: the mapping's values a serving thread
// needs, beside the listener's own address, port, kind and socket.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/listener_record.h"

namespace qlm::engine {

struct PortMapListener : CListenerRecord {
  std::string rule;           // "FTP": an FTP-aware TCP mapping
  bool bi_udp = false;        // wait for one return datagram
  std::string remote_server;  // where the mapping forwards to
  uint32_t remote_port = 0;
  uint32_t out_port = 0;      // local port of the outward side; 0 any
  uint32_t client_port = 0;   // only clients from this source port; 0 any
};

using PortMapList = std::vector<std::unique_ptr<PortMapListener>>;

}  // namespace qlm::engine
