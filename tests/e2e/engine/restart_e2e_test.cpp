// Restarting the engine right after traffic: the connections the proxy
// closed first still sit in TIME_WAIT on the daemon ports, and the new engine
// must bind every daemon and the manager port all the same.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/e2e/support/engine_under_test.h"
#include "tests/e2e/support/manager_client.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::test {
namespace {

// TCP sockets in TIME_WAIT whose local end is ip:port, from /proc/net/tcp.
int TimeWaitCount(const std::string& ip, uint16_t port) {
  in_addr address{};
  inet_pton(AF_INET, ip.c_str(), &address);
  char local[32];
  std::snprintf(local, sizeof local, "%08X:%04X", address.s_addr, port);
  std::ifstream table("/proc/net/tcp");
  std::string line;
  std::getline(table, line);  // the column names
  int count = 0;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local_end, remote_end, state;
    fields >> slot >> local_end >> remote_end >> state;
    count += local_end == local && state == "06" ? 1 : 0;
  }
  return count;
}

// One request the proxy answers itself (the origin port is closed) and then
// closes: the proxy's end goes to TIME_WAIT.
void RequestClosedByProxy(const std::string& ip, uint16_t port, uint16_t dead) {
  const int fd = ConnectTcp(ip, port);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(WriteAll(fd, "GET http://127.0.0.1:" + std::to_string(dead) + "/ HTTP/1.0\r\n\r\n"));
  const std::string reply = ReadAll(fd, 1 << 16, 10000);
  EXPECT_EQ(reply.rfind("HTTP/1.0 400 Bad Request", 0), 0u) << reply;
  ::close(fd);
}

TEST(EngineRestartE2eTest, RestartsOnTheSamePortsRightAfter200ClosedConnections) {
  EngineUnderTest engine("127.0.0.71");
  const uint16_t http = engine.AddDaemon("HTTP");
  const uint16_t socks = engine.AddDaemon("SOCKS");
  const uint16_t news = engine.AddDaemon("Newsgroups");
  ASSERT_TRUE(engine.Start());
  {
    CManagerClient manager;
    ASSERT_TRUE(manager.Connect(engine.Ip(), engine.ManagerPort()));
    const uint16_t dead = FreeTcpPort();
    for (int i = 0; i < 100; ++i) {
      RequestClosedByProxy(engine.Ip(), http, dead);
      // The unknown daemon is closed by the engine at once.
      const int fd = ConnectTcp(engine.Ip(), news);
      ASSERT_GE(fd, 0);
      EXPECT_EQ(ReadAll(fd, 64, 10000), "");
      ::close(fd);
    }
    ASSERT_TRUE(WaitUntil([&] {
      return engine.CountLog("DaemonServerThreadProc:accept error never go here") == 100;
    }));
    ASSERT_EQ(engine.Stop(), 0);
  }
  // The precondition the restart must survive.
  EXPECT_GT(TimeWaitCount(engine.Ip(), http), 50);
  EXPECT_GT(TimeWaitCount(engine.Ip(), news), 50);
  EXPECT_GT(TimeWaitCount(engine.Ip(), engine.ManagerPort()), 0);

  ASSERT_TRUE(engine.Start()) << "every daemon and the manager port listen again";
  EXPECT_TRUE(IsListening(engine.Ip(), socks));
  EXPECT_EQ(engine.CountLog("Binding error"), 0u);
  EXPECT_EQ(engine.Process().Stderr().find("Binding error"), std::string::npos);
  RequestClosedByProxy(engine.Ip(), http, FreeTcpPort());
}

}  // namespace
}  // namespace qlm::test
