// What the DNS relay's end-to-end tests share: network namespaces of their
// own (with their own hosts and resolv.conf files, which `ip netns exec`
// puts in place of the host's), sockets and peers made inside them, dig run
// inside them, and the DNS daemon's store lines.
#pragma once

#include <netinet/in.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"

namespace qlm::dns::test {

using Bytes = std::vector<uint8_t>;

// One network namespace with its loopback up, and files for /etc inside it
// (e.g. "hosts", "resolv.conf"); removed with its links at the end.
class CNetns {
 public:
  CNetns(const std::string& stem, const std::vector<std::pair<std::string, std::string>>& etc);
  ~CNetns();
  CNetns(const CNetns&) = delete;
  CNetns& operator=(const CNetns&) = delete;

  bool Ok() const { return ok_; }
  const std::string& Name() const { return name_; }
  // Runs a shell command inside the namespace; true on exit 0.
  bool Sh(const std::string& command) const;
  // ["ip", "netns", "exec", name]: how programs are run inside.
  std::vector<std::string> Launcher() const;
  // Runs `work` on a thread that has entered the namespace (sockets and
  // threads made there stay in it) and waits for it.
  void Enter(const std::function<void()>& work) const;

 private:
  std::string name_;
  bool ok_ = false;
};

// A shell command on the host; true on exit 0.
bool HostSh(const std::string& command);

// A UDP socket bound to ip:port inside the namespace; -1 on failure.
int UdpSocketIn(const CNetns& ns, const std::string& ip, uint16_t port = 0);
// Sends one datagram to ip:port.
bool SendTo(int fd, const Bytes& bytes, const std::string& ip, uint16_t port);

// dig inside the namespace: @server -p port -b source, one try of `seconds`,
// then the words given.
qlm::test::RunResult Dig(const CNetns& ns, const std::string& server, uint16_t port,
                         const std::string& source, const std::vector<std::string>& words,
                         int seconds = 3);
// Runs of blanks and tabs made one blank (dig's columns vary).
std::string Squeeze(const std::string& text);

// The DNS daemon's store values.
std::string DnsValues(bool forward, bool broadcast, uint32_t ttl);

}  // namespace qlm::dns::test
