// The DNS relay's test kit: queries built byte by byte, a fake upstream
// server on its own loopback address and port 53, and a harness that plays
// the dispatcher (a daemon socket of its own, each datagram handed to the
// protocol's start) for a client socket on another loopback address. A log
// file is open so records are built; a fake resolver answers the host cache.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/config/protocol_settings.h"
#include "engine/listener_record.h"
#include "net/host_cache.h"
#include "services/dns/dns_config.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace qlm::dns::test {

using Bytes = std::vector<uint8_t>;

// A standard query: header (id, flags byte 1, one question), QNAME, type, class.
Bytes Query(uint16_t id, const std::string& name, uint16_t type = 1, uint8_t flags1 = 0x01,
            uint16_t qclass = 1);
uint16_t Read16(const Bytes& bytes, size_t offset);

// Names the tests' resolver knows.
class CFakeResolver : public net::IResolver {
 public:
  void Add(const std::string& name, const std::string& official,
           const std::vector<std::string>& addresses);
  std::optional<net::HostEntry> ByName(const std::string& name) override;
  std::optional<net::HostEntry> ByAddress(in_addr address) override;

 private:
  std::mutex mutex_;
  std::map<std::string, net::HostEntry> names_;  // Guarded by mutex_
};

// A DNS server on ip:53 that answers each query with `answer(query)`: the
// first datagram from ip:53, the next ones from also[0]:53, also[1]:53, ...
// (as several servers answering one broadcast would).
class CFakeUpstream {
 public:
  using Answer = std::function<std::vector<Bytes>(const Bytes& query)>;
  CFakeUpstream(const std::string& ip, Answer answer, std::vector<std::string> also = {});
  ~CFakeUpstream();
  int Queries() const { return queries_.load(); }
  Bytes LastQuery();
  bool Ok() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  std::vector<int> also_fds_;
  Answer answer_;
  std::atomic<bool> stop_{false};
  std::atomic<int> queries_{0};
  std::mutex mutex_;
  Bytes last_;  // Guarded by mutex_
  std::thread thread_;
};

// The reply an upstream gives: the query with QR and RA set and `rcode`,
// plus `extra` bytes standing in for the answer.
Bytes UpstreamReply(const Bytes& query, uint8_t rcode = 0, size_t extra = 16);

class CDnsHarness {
 public:
  // The daemon listens on `daemon_ip`, the client sends from `client_ip`.
  CDnsHarness(const std::string& daemon_ip, const std::string& client_ip,
              const engine::DnsSettings& settings);
  ~CDnsHarness();

  // As the dispatcher does with one received datagram.
  void Send(const Bytes& datagram);
  // The next reply to the client (empty when none comes within `ms`).
  Bytes Receive(int ms = 5000, sockaddr_in* from = nullptr);
  // Every started worker has ended.
  bool Idle();

  std::shared_ptr<CFakeResolver> Resolver() { return resolver_; }
  qlm::test::CLogCapture& Log() { return log_; }
  const sockaddr_in& DaemonAddress() const { return daemon_.local_address; }
  const sockaddr_in& ClientAddress() const { return client_address_; }

 private:
  qlm::test::CTempDir dir_;
  qlm::test::CLogCapture log_;
  engine::DaemonRecord daemon_;
  int client_fd_ = -1;
  sockaddr_in client_address_{};
  std::shared_ptr<CFakeResolver> resolver_;
};

// Short waits for tests: 300 ms for a reply, 300 ms of learning.
DnsConfig ShortConfig();

}  // namespace qlm::dns::test
