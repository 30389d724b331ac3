// The DHCP server under test: network namespaces the test creates (the
// engine's, a client's, and when asked an outside network's), joined by veth
// pairs; the engine inside its namespace serving 10.250.8.0/24 from
// 10.250.8.1 on port 67; and the clients run inside the client namespace:
// busybox udhcpc, dhclient, and the raw client dhcp_probe.py.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/support/engine_under_test.h"

namespace qlm::test {

inline constexpr const char* kDhcpServerIp = "10.250.8.1";

struct DhcpRange {
  std::string from = "10.250.8.10";
  std::string to = "10.250.8.20";
  std::string mask = "255.255.255.0";
  uint32_t leasing_time = 86400;
  bool verify = false;
  std::string extra;  // further store lines of the DHCP entry
};

// The "Daemons" store lines of a DHCP entry.
std::string DhcpValues(const DhcpRange& range);

class CDhcpNetwork {
 public:
  // `outside`: the engine gets a second interface (10.250.9.1/24) to an
  // outside namespace with an address of its own there (10.250.9.2).
  explicit CDhcpNetwork(bool outside = false);
  ~CDhcpNetwork();
  CDhcpNetwork(const CDhcpNetwork&) = delete;
  CDhcpNetwork& operator=(const CDhcpNetwork&) = delete;

  bool Ok() const { return ok_; }
  const std::string& EngineNs() const { return engine_ns_; }
  const std::string& ClientNs() const { return client_ns_; }
  const std::string& OutsideNs() const { return outside_ns_; }
  const std::string& ClientIf() const { return client_if_; }
  const std::string& EngineIf() const { return engine_if_; }
  const std::string& OutsideIf() const { return outside_if_; }
  std::vector<std::string> Launcher() const { return {"ip", "netns", "exec", engine_ns_}; }

  // Runs `command` through sh; a failure is a test failure.
  static bool Sh(const std::string& command);
  static std::string In(const std::string& ns) { return "ip netns exec " + ns + " "; }

 private:
  std::string tag_;
  std::string engine_ns_, client_ns_, outside_ns_;
  std::string engine_if_, client_if_, outside_if_;
  bool ok_ = false;
};

// The engine in the network's engine namespace with one DHCP listener on
// 10.250.8.1:67, started and awaited until its DHCP socket is bound.
// `store_text` is applied after the fixture's own store (registry-editor
// format), e.g. leases stored by an earlier run.
std::unique_ptr<EngineUnderTest> StartDhcpEngine(const CDhcpNetwork& network,
                                                 const DhcpRange& range,
                                                 const std::string& store_text = "");
// Starts the same engine again (its store kept) and awaits its DHCP socket.
bool RestartDhcpEngine(EngineUnderTest& engine);

// One reply of dhcp_probe.py as key=value pairs; nullopt when none came.
using ProbeReply = std::map<std::string, std::string>;
std::optional<ProbeReply> Probe(const std::string& ns, const std::string& iface,
                                const std::vector<std::string>& args, double wait = 5.0);

// `qlmreg export DHCP` of the engine's store.
std::string ExportLeases(const EngineUnderTest& engine);

}  // namespace qlm::test
