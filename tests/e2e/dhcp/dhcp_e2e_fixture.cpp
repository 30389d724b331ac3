// Namespaces, the engine and the clients of the DHCP end-to-end tests.
#include "tests/e2e/dhcp/dhcp_e2e_fixture.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/support/wait_until.h"

namespace qlm::test {

namespace {

using namespace std::chrono_literals;

std::string Hex8(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

bool DhcpSocketBound(EngineUnderTest& engine) {
  const int pid = engine.Process().Pid();
  return WaitUntil([&] {
    return !engine.Process().Running() || IsListening("0.0.0.0", 67, true, pid);
  }) && engine.Process().Running();
}

}  // namespace

std::string DhcpValues(const DhcpRange& range) {
  return "\"FromAddr\"=\"" + range.from + "\"\n\"ToAddr\"=\"" + range.to + "\"\n" +
         "\"Netmask\"=\"" + range.mask + "\"\n\"LeasingTime\"=dword:" +
         Hex8(range.leasing_time) + "\n\"VerifyIP\"=hex:" + (range.verify ? "01" : "00") +
         "\n" + range.extra;
}

bool CDhcpNetwork::Sh(const std::string& command) {
  const RunResult r = Run({"sh", "-c", command}, {}, std::nullopt, 10s);
  if (r.code != 0) {
    ADD_FAILURE() << command << ": " << r.out << r.err;
  }
  return r.code == 0;
}

CDhcpNetwork::CDhcpNetwork(bool outside) {
  static std::atomic<int> serial{0};
  tag_ = std::to_string(::getpid() % 100000) + "x" + std::to_string(serial++);
  engine_ns_ = "qlm-dhe-" + tag_;
  client_ns_ = "qlm-dhc-" + tag_;
  engine_if_ = "qe" + tag_;
  client_if_ = "qc" + tag_;
  ok_ = Sh("ip netns add " + engine_ns_) && Sh("ip netns add " + client_ns_) &&
        Sh("ip link add " + engine_if_ + " netns " + engine_ns_ + " type veth peer name " +
           client_if_ + " netns " + client_ns_) &&
        Sh(In(engine_ns_) + "ip addr add 10.250.8.1/24 dev " + engine_if_) &&
        Sh(In(engine_ns_) + "ip link set " + engine_if_ + " up") &&
        Sh(In(engine_ns_) + "ip link set lo up") &&
        Sh(In(client_ns_) + "ip link set " + client_if_ + " up") &&
        Sh(In(client_ns_) + "ip link set lo up");
  if (ok_ && outside) {
    outside_ns_ = "qlm-dho-" + tag_;
    const std::string engine_out = "qo" + tag_;
    outside_if_ = "qp" + tag_;
    ok_ = Sh("ip netns add " + outside_ns_) &&
          Sh("ip link add " + engine_out + " netns " + engine_ns_ + " type veth peer name " +
             outside_if_ + " netns " + outside_ns_) &&
          Sh(In(engine_ns_) + "ip addr add 10.250.9.1/24 dev " + engine_out) &&
          Sh(In(engine_ns_) + "ip link set " + engine_out + " up") &&
          Sh(In(outside_ns_) + "ip addr add 10.250.9.2/24 dev " + outside_if_) &&
          Sh(In(outside_ns_) + "ip link set " + outside_if_ + " up") &&
          // The outside network is the engine's default route: a broadcast
          // reply left to the routing table would go there.
          Sh(In(engine_ns_) + "ip route add default via 10.250.9.2");
  }
}

CDhcpNetwork::~CDhcpNetwork() {
  if (!outside_ns_.empty()) {
    Run({"ip", "netns", "del", outside_ns_});
  }
  Run({"ip", "netns", "del", client_ns_});
  Run({"ip", "netns", "del", engine_ns_});
}

std::unique_ptr<EngineUnderTest> StartDhcpEngine(const CDhcpNetwork& network,
                                                 const DhcpRange& range,
                                                 const std::string& store_text) {
  auto engine = std::make_unique<EngineUnderTest>(kDhcpServerIp, network.Launcher());
  engine->AddDaemonListener("DHCP", std::string(kDhcpServerIp) + ":67", true,
                            DhcpValues(range));
  engine->AddStoreText(store_text);
  if (!engine->Start() || !DhcpSocketBound(*engine)) {
    ADD_FAILURE() << "the DHCP daemon did not bind; standard error:\n"
                  << engine->Process().Stderr();
    return nullptr;
  }
  return engine;
}

bool RestartDhcpEngine(EngineUnderTest& engine) {
  return engine.Start() && DhcpSocketBound(engine);
}

std::optional<ProbeReply> Probe(const std::string& ns, const std::string& iface,
                                const std::vector<std::string>& args, double wait) {
  std::vector<std::string> argv = {"ip", "netns", "exec", ns, "python3",
                                   std::string(QLM_SOURCE_DIR) + "/tests/e2e/dhcp/dhcp_probe.py",
                                   "--iface", iface, "--wait", std::to_string(wait)};
  argv.insert(argv.end(), args.begin(), args.end());
  const RunResult r = Run(argv, {}, std::nullopt, 30s);
  if (r.code != 0) {
    ADD_FAILURE() << "dhcp_probe.py failed: " << r.out << r.err;
    return std::nullopt;
  }
  if (r.out.rfind("none", 0) == 0) {
    return std::nullopt;
  }
  ProbeReply reply;
  std::istringstream lines(r.out);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) {
      reply[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return reply;
}

std::string ExportLeases(const EngineUnderTest& engine) {
  const RunResult r =
      Run({std::string(QLM_BIN_DIR) + "/qlmreg", "export", "DHCP"}, engine.Environment());
  return r.out;
}

}  // namespace qlm::test
