// Store text for port mappings, and small helpers of the mapping tests.
#pragma once

#include <cstdint>
#include <string>

namespace qlm::test {

struct MappingText {
  std::string name;
  std::string listen;  // "ip:port"
  std::string transport = "tcp";
  std::string remote_server = "127.0.0.1";
  uint16_t remote_port = 0;
  uint16_t client_port = 0;
  uint16_t out_port = 0;
  bool bi_udp = false;
  std::string rule;
};

// The mapping's entry in the store's registry-editor text.
std::string PortMapStoreText(const MappingText& mapping);

// A UDP socket on ip, port 0, connected to to_ip:to_port (so it takes
// datagrams from that address and port only); -1 on failure.
int ConnectedUdp(const std::string& ip, const std::string& to_ip, uint16_t to_port);

}  // namespace qlm::test
