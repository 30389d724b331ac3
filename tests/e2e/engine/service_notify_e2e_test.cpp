// Readiness for systemd: the engine started as `qlmsvr -debug` under a
// NOTIFY_SOCKET of the test's own (a datagram socket in the test's folder,
// standing in for systemd) reports READY=1 once its daemon and port-mapping
// listeners are open, and STOPPING=1 when SIGTERM stops it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/notify_socket.h"

namespace qlm::test {
namespace {

using namespace std::chrono_literals;

TEST(EngineServiceNotifyE2eTest, ReadyOnceListenersAreOpenAndStoppingAtStop) {
  EngineUnderTest engine("127.0.0.48");
  const uint16_t daemon = engine.AddDaemon("Newsgroups");
  const uint16_t mapped = engine.FreeTcpPort();
  engine.AddStoreText("[PortMap\\" + engine.Ip() + ":" + std::to_string(mapped) +
                      "/tcp]\n\"Name\"=\"Mapped\"\n\"RemoteServer\"=\"127.0.0.1\"\n"
                      "\"RemotePort\"=dword:00000001\n\"Enable\"=hex:01\n\n");
  const std::string socket_path = engine.Folder() + "/notify";
  CNotifySocket notify(socket_path);
  ASSERT_TRUE(notify.Bound());
  engine.SetEnvironment("NOTIFY_SOCKET", socket_path);
  ASSERT_TRUE(engine.WriteStore());
  engine.Launch();

  const std::optional<std::string> ready = notify.Receive(10s);
  ASSERT_EQ(ready, std::optional<std::string>("READY=1")) << engine.Process().Stderr();
  // Ready means serving: every listener was open before the word went out.
  EXPECT_TRUE(IsListening(engine.Ip(), engine.ManagerPort()));
  EXPECT_TRUE(IsListening(engine.Ip(), daemon));
  EXPECT_TRUE(IsListening(engine.Ip(), mapped));
  EXPECT_EQ(notify.Receive(0ms), std::nullopt);  // said once

  EXPECT_EQ(engine.Stop(SIGTERM), std::optional<int>(0));
  EXPECT_EQ(notify.Receive(0ms), std::optional<std::string>("STOPPING=1"));
  EXPECT_EQ(notify.Receive(0ms), std::nullopt);
}

// A start that fails (the manager port is taken) never claims readiness.
TEST(EngineServiceNotifyE2eTest, FailedStartIsNeverReady) {
  EngineUnderTest engine("127.0.0.43");
  const std::string socket_path = engine.Folder() + "/notify";
  CNotifySocket notify(socket_path);
  ASSERT_TRUE(notify.Bound());
  engine.SetEnvironment("NOTIFY_SOCKET", socket_path);
  ASSERT_TRUE(engine.WriteStore());
  const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(engine.ManagerPort());
  inet_pton(AF_INET, engine.Ip().c_str(), &address.sin_addr);
  ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(holder, 1), 0);
  const RunResult run = qlm::test::Run({std::string(QLM_BIN_DIR) + "/qlmsvr", "-debug"},
                                       engine.Environment(), std::nullopt, 10s);
  ::close(holder);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(notify.Receive(0ms), std::nullopt);
}

}  // namespace
}  // namespace qlm::test
