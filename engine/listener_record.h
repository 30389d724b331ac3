// What a connection thread knows about the listener it came from: a daemon
// listener (DaemonRecord) or a port-mapping listener (PortMapListener) share
// this base, so the activity calls build the same "%s:%s:%d" key for both.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <memory>
#include <string>

#include "net/blocking_socket.h"

namespace qlm::engine {

struct EmailSettings;
struct DnsSettings;
struct DhcpSettings;

struct CListenerRecord {
  CListenerRecord();
  virtual ~CListenerRecord();

  uint32_t security = 0;     // the daemon's "Security" flag
  std::string address;       // the IP text actually bound
  int port = 0;              // the bound port
  int type = net::kStream;   // 1 stream, 2 datagram
  net::CBlockingSocket socket;
  // The address the socket is bound to, read back once it is bound (a
  // datagram server replies from it; DHCP finds its interface by it).
  sockaddr_in local_address{AF_INET, 0, {0}, {0}};
  std::string name;          // daemon or mapping name, e.g. "HTTP"

  // "%s:%s:%d": listen address, name, port (the listener key of the key list,
  // the daemon list and the activity records).
  std::string Key() const;
};

// One open daemon listener; kept in the engine's daemon list until exit.
struct DaemonRecord : CListenerRecord {
  DaemonRecord();
  ~DaemonRecord() override;

  // Copies of the daemon's own settings, where its protocol needs them.
  std::unique_ptr<EmailSettings> email;  // "Email"
  std::unique_ptr<DnsSettings> dns;      // "DNS"
  std::unique_ptr<DhcpSettings> dhcp;    // "DHCP"
};

}  // namespace qlm::engine
