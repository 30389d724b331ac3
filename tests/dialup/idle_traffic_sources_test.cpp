// Which sends count as traffic for the idle countdown, with the real socket
// layer: a proxy's send restarts the countdown; the manager channel's writes
// (its socket file) and the keep-alive probe do not, or a connected manager
// receiving the idle warning would keep the line up for ever.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "dialup/dial_up_manager.h"
#include "dialup/keep_alive_probe.h"
#include "dialup/scripted_backend.h"
#include "net/blocking_socket.h"
#include "net/qlm_socket_file.h"
#include "net/traffic_idle_flag.h"
#include "tests/support/loopback.h"

namespace qlm::dialup {
namespace {

using namespace std::chrono_literals;

TEST(IdleTrafficSourcesTest, ProxySendsCountManagerWritesAndProbesDoNot) {
  uint16_t port = 0;
  int listener = test::ListenTcp("127.0.0.1", &port);
  ASSERT_GE(listener, 0);
  int client = test::ConnectTcp("127.0.0.1", port);
  ASSERT_GE(client, 0);
  int server = ::accept(listener, nullptr, nullptr);
  ASSERT_GE(server, 0);
  net::CBlockingSocket socket;
  socket.Attach(client);

  DialUpSettings settings;
  settings.UseDialUp = true;
  settings.DialUpManaged = true;
  settings.DisconnectIdle = true;
  settings.DisconnectIdleTime = 1;
  auto backend = std::make_unique<CScriptedBackend>();
  backend->AddConnection(kRasConnected);
  DialUpManager manager;
  manager.Configure(settings, {}, std::move(backend));
  net::TrafficIdleFlag() = 1;
  for (int tick = 0; tick < 8; ++tick) {
    manager.PollStatus();
  }
  ASSERT_EQ(manager.IdleCountdownForTest(), 7u);

  net::CQlmSocketFile manager_file(&socket, true);
  manager_file.Write("manager", 7);  // the manager channel
  sockaddr_in nowhere = net::MakeAddress("127.0.0.1", test::FreeUdpPort());
  SendKeepAlive(KeepAliveQuery(), nowhere);  // the probe
  manager.PollStatus();
  EXPECT_EQ(manager.IdleCountdownForTest(), 6u);

  socket.Send("proxy", 5, 1000ms);  // a proxy
  manager.PollStatus();
  EXPECT_EQ(manager.IdleCountdownForTest(), 15u);

  ::close(server);
  ::close(listener);
}

}  // namespace
}  // namespace qlm::dialup
