// Loopback addresses and ports for tests: every network test stays on 127.0.0.0/8.
#pragma once

#include <cstdint>
#include <string>

namespace qlm::test {

// A TCP port on `ip` that is free now (bound to port 0, read back, released).
uint16_t FreeTcpPort(const std::string& ip = "127.0.0.1");
// The same for UDP.
uint16_t FreeUdpPort(const std::string& ip = "127.0.0.1");

// Connects a blocking TCP socket to ip:port; -1 when refused. Caller closes it.
int ConnectTcp(const std::string& ip, uint16_t port);

// A listening TCP socket on ip, port 0; the chosen port goes to *port. Caller closes it.
int ListenTcp(const std::string& ip, uint16_t* port);

// Reads until the peer closes or `max` bytes, with a bounded wait per read.
std::string ReadAll(int fd, size_t max = 1 << 24, int timeout_ms = 10000);
// Writes the whole string; false on failure.
bool WriteAll(int fd, const std::string& data);

}  // namespace qlm::test
