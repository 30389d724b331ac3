// Loopback pieces of the FTP tests: a scripted FTP server (one connection,
// the test's own script on its own thread), line reading with bounded waits
// and data connections from a chosen source port.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "proxies/ftp_mail/ftp_config.h"

namespace qlm::ftp::test {

// Waits short enough for tests, long enough for a loaded machine.
FtpTimeouts ShortTimeouts();

// One line up to its LF (included), or what came before the peer closed or
// 5 s passed.
std::string ReadLine(int fd);
// Reads until `text` has arrived (true) or 5 s passed / the peer closed.
bool ReadUntil(int fd, const std::string& text, std::string* got = nullptr);
bool SendText(int fd, const std::string& text);
// Exactly n bytes, or fewer when the peer closed or 5 s passed.
std::string ReadBytes(int fd, size_t n);
// True when the peer closes (after any pending bytes are read) within 5 s.
bool ClosedByPeer(int fd);
uint16_t LocalPort(int fd);
// A TCP connection from ip:source_port (0: any) to ip:port; -1 on failure.
int ConnectFrom(const std::string& ip, uint16_t source_port, const std::string& to_ip,
                uint16_t port);
// Accepts one connection within 5 s; -1 when none came.
int AcceptWithin(int listener);
// The six numbers of a PORT or PASV line as "a.b.c.d" and a port.
bool PortNumbers(const std::string& line, std::string* ip, uint16_t* port);

// An FTP server on 127.0.0.1, port 0, that accepts one connection and runs
// `script` with its descriptor on a thread of its own.
class CScriptedServer {
 public:
  explicit CScriptedServer(std::function<void(int fd)> script);
  ~CScriptedServer();
  uint16_t port() const { return port_; }
  bool Done() const { return done_.load(); }

 private:
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace qlm::ftp::test
