// Real DHCP clients against the engine: busybox udhcpc and ISC dhclient get
// an address of the range with mask, router and DNS server; the same client
// gets the same address after the engine restarts, its lease read back from
// the store.
#include <signal.h>

#include <cctype>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "tests/e2e/dhcp/dhcp_e2e_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace qlm::test {
namespace {

using namespace std::chrono_literals;

// udhcpc's script prints what it was given on each event.
std::string UdhcpcScript(const CTempDir& dir) {
  const std::string path = dir.File("udhcpc.sh");
  std::ofstream(path) << "#!/bin/sh\n"
                         "echo \"event=$1 ip=$ip subnet=$subnet router=$router dns=$dns "
                         "lease=$lease serverid=$serverid\"\n";
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  return path;
}

// One udhcpc run to a lease and out: the "bound" line, or the whole output.
std::string RunUdhcpc(const CDhcpNetwork& network, const std::string& script) {
  const RunResult r = test::Run({"ip", "netns", "exec", network.ClientNs(), "busybox", "udhcpc", "-i",
                           network.ClientIf(), "-n", "-q", "-f", "-t", "5", "-T", "1", "-s",
                           script},
                          {}, std::nullopt, 30s);
  const size_t bound = r.out.find("event=bound");
  if (r.code != 0 || bound == std::string::npos) {
    return r.out + r.err;
  }
  return r.out.substr(bound, r.out.find('\n', bound) - bound);
}

std::string MacOf(const std::string& ns, const std::string& iface) {
  const RunResult r = Run({"ip", "netns", "exec", ns, "cat", "/sys/class/net/" + iface + "/address"});
  std::string mac;
  for (char c : r.out) {
    if (std::isxdigit(static_cast<unsigned char>(c))) {
      mac += c;
    }
  }
  return mac;
}

TEST(DhcpClientsE2eTest, UdhcpcGetsAnAddressWithMaskRouterAndDns) {
  CDhcpNetwork network;
  ASSERT_TRUE(network.Ok());
  auto engine = StartDhcpEngine(network, DhcpRange{});
  ASSERT_NE(engine, nullptr);
  CTempDir dir("qlm-dhcp");
  EXPECT_EQ(RunUdhcpc(network, UdhcpcScript(dir)),
            "event=bound ip=10.250.8.10 subnet=255.255.255.0 router=10.250.8.1 dns=10.250.8.1 "
            "lease=86400 serverid=10.250.8.1");
}

TEST(DhcpClientsE2eTest, SameClientGetsItsAddressBackAfterARestart) {
  CDhcpNetwork network;
  ASSERT_TRUE(network.Ok());
  auto engine = StartDhcpEngine(network, DhcpRange{});
  ASSERT_NE(engine, nullptr);
  CTempDir dir("qlm-dhcp");
  const std::string script = UdhcpcScript(dir);
  ASSERT_NE(RunUdhcpc(network, script).find("ip=10.250.8.10 "), std::string::npos);
  ASSERT_EQ(engine->Stop(), std::optional<int>(0));

  // udhcpc identifies itself by option 61: type 1 and its MAC.
  const std::string leases = ExportLeases(*engine);
  const std::string mac = MacOf(network.ClientNs(), network.ClientIf());
  EXPECT_NE(leases.find("[DHCP\\10.250.8.10]"), std::string::npos) << leases;
  EXPECT_NE(leases.find("\"MacAddr\"=\"01" + mac + "\""), std::string::npos) << leases;
  EXPECT_NE(leases.find("\"LeasingTime\"=dword:00015180"), std::string::npos) << leases;

  ASSERT_TRUE(RestartDhcpEngine(*engine));
  // Another client is not given the stored lease's address ...
  const std::optional<ProbeReply> other =
      Probe(network.ClientNs(), network.ClientIf(), {"--mac", "02:00:00:00:00:99"});
  ASSERT_TRUE(other.has_value());
  EXPECT_EQ(other->at("yiaddr"), "10.250.8.11");
  // ... and the client gets it again.
  EXPECT_NE(RunUdhcpc(network, script).find("ip=10.250.8.10 "), std::string::npos);
}

TEST(DhcpClientsE2eTest, DhclientGetsAnAddressWithMaskRouterAndDns) {
  CDhcpNetwork network;
  ASSERT_TRUE(network.Ok());
  auto engine = StartDhcpEngine(network, DhcpRange{});
  ASSERT_NE(engine, nullptr);
  CTempDir dir("qlm-dhcp");
  const std::string script = dir.File("dhclient.sh");
  std::ofstream(script) << "#!/bin/sh\n"
                           "[ \"$reason\" = BOUND ] && echo \"ip=$new_ip_address "
                           "mask=$new_subnet_mask routers=$new_routers "
                           "dns=$new_domain_name_servers lease=$new_dhcp_lease_time\" > "
                        << dir.File("bound") << "\nexit 0\n";
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  std::ofstream(dir.File("dhclient.conf")) << "timeout 20;\n";
  const RunResult r =
      test::Run({"ip", "netns", "exec", network.ClientNs(), "dhclient", "-1", "-v", "-sf", script,
           "-cf", dir.File("dhclient.conf"), "-lf", dir.File("leases"), "-pf",
           dir.File("pid"), network.ClientIf()},
          {}, std::nullopt, 40s);
  // dhclient stays in the background after binding: ended by its pid.
  std::ifstream pid_file(dir.File("pid"));
  pid_t pid = 0;
  if (pid_file >> pid && pid > 0) {
    ::kill(pid, SIGTERM);
  }
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  std::ifstream bound(dir.File("bound"));
  std::string line;
  std::getline(bound, line);
  EXPECT_EQ(line,
            "ip=10.250.8.10 mask=255.255.255.0 routers=10.250.8.1 dns=10.250.8.1 lease=86400");
}

}  // namespace
}  // namespace qlm::test
