// Helpers of the port-mapping tests.
#include "tests/e2e/portmap/portmap_e2e_support.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace qlm::test {
namespace {

std::string Dword(uint32_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "dword:%08x", value);
  return text;
}

}  // namespace

std::string PortMapStoreText(const MappingText& m) {
  return "[PortMap\\" + m.listen + "/" + m.transport + "]\n\"Name\"=\"" + m.name +
         "\"\n\"RemoteServer\"=\"" + m.remote_server + "\"\n\"RemotePort\"=" +
         Dword(m.remote_port) + "\n\"OutPort\"=" + Dword(m.out_port) +
         "\n\"ClientPort\"=" + Dword(m.client_port) + "\n\"Enable\"=hex:01\n\"BiUDP\"=hex:0" +
         (m.bi_udp ? "1" : "0") + "\n\"Rule\"=\"" + m.rule + "\"\n\n";
}

int ConnectedUdp(const std::string& ip, const std::string& to_ip, uint16_t to_port) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  inet_pton(AF_INET, ip.c_str(), &local.sin_addr);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(to_port);
  inet_pton(AF_INET, to_ip.c_str(), &remote.sin_addr);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace qlm::test
