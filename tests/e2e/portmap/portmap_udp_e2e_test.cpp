// UDP port mappings through the engine: each datagram forwarded, a BiUDP
// mapping's one return message reaching the right one of two clients from
// the mapping's own address and port, a silent destination, and the client
// port rule.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/e2e/portmap/portmap_e2e_support.h"
#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/fake_servers.h"
#include "tests/support/loopback.h"
#include "tests/support/scoped_fd.h"
#include "tests/support/wait_until.h"

namespace qlm::test {
namespace {

std::string Received(int fd, int timeout_ms = 5000) {
  const std::vector<uint8_t> bytes = ReceiveDatagram(fd, timeout_ms);
  return std::string(bytes.begin(), bytes.end());
}

TEST(PortMapUdpE2eTest, ReturnMessageReachesItsOwnClientFromTheMappingsPort) {
  CUdpEcho echo;
  EngineUnderTest engine("127.0.0.205");
  const uint16_t port = engine.FreeUdpPort();
  engine.AddStoreText(PortMapStoreText({.name = "quake", .listen = engine.Ip() + ":" + std::to_string(port),
                                        .transport = "udp", .remote_port = echo.port(), .bi_udp = true}));
  ASSERT_TRUE(engine.Start());
  ASSERT_TRUE(WaitUntil([&] { return IsListening(engine.Ip(), port, true); }));
  // Connected sockets take datagrams only from the address they sent to.
  CScopedFd first(ConnectedUdp("127.0.0.1", engine.Ip(), port));
  CScopedFd second(ConnectedUdp("127.0.0.1", engine.Ip(), port));
  ASSERT_TRUE(first.Valid() && second.Valid());
  ASSERT_EQ(::send(first.Get(), "one", 3, 0), 3);
  ASSERT_EQ(::send(second.Get(), "two", 3, 0), 3);
  EXPECT_EQ(Received(first.Get()), "one");
  EXPECT_EQ(Received(second.Get()), "two");
  EXPECT_EQ(echo.count(), 2);
  EXPECT_TRUE(engine.WaitForLog("UDP-PORTMAP 127.0.0.1"));
}

// One client, datagram after datagram, each sent as soon as the last reply
// came: none is lost to the worker that is still sending that reply.
TEST(PortMapUdpE2eTest, BackToBackExchangesLoseNoDatagram) {
  CUdpEcho echo;
  EngineUnderTest engine("127.0.0.213");
  const uint16_t port = engine.FreeUdpPort();
  engine.AddStoreText(PortMapStoreText({.name = "game", .listen = engine.Ip() + ":" + std::to_string(port),
                                        .transport = "udp", .remote_port = echo.port(), .bi_udp = true}));
  ASSERT_TRUE(engine.Start());
  ASSERT_TRUE(WaitUntil([&] { return IsListening(engine.Ip(), port, true); }));
  CScopedFd client(ConnectedUdp("127.0.0.1", engine.Ip(), port));
  ASSERT_TRUE(client.Valid());
  int answered = 0;
  for (int i = 0; i < 200; ++i) {
    const std::string message = "round " + std::to_string(i);
    ASSERT_EQ(::send(client.Get(), message.data(), message.size(), 0),
              static_cast<ssize_t>(message.size()));
    answered += Received(client.Get(), 3000) == message;
  }
  EXPECT_EQ(answered, 200);
}

TEST(PortMapUdpE2eTest, SilentDestinationEndsTheWorkerWithoutAReply) {
  // The destination takes datagrams and never answers.
  CScopedFd silent(UdpSocket("127.0.0.1", 0));
  const uint16_t silent_port = LocalPort(silent.Get());
  EngineUnderTest engine("127.0.0.206");
  engine.SetEnvironment("QUILLMAR_TIMEOUTS", "portmap.return_wait=300");
  engine.SetActivity(false, 1);  // one worker at a time: the next waits for its slot
  const uint16_t port = engine.FreeUdpPort();
  engine.AddStoreText(PortMapStoreText({.name = "mute", .listen = engine.Ip() + ":" + std::to_string(port),
                                        .transport = "udp", .remote_port = silent_port, .bi_udp = true}));
  ASSERT_TRUE(engine.Start());
  ASSERT_TRUE(WaitUntil([&] { return IsListening(engine.Ip(), port, true); }));
  CScopedFd client(ConnectedUdp("127.0.0.1", engine.Ip(), port));
  ASSERT_EQ(::send(client.Get(), "first", 5, 0), 5);
  EXPECT_EQ(Received(silent.Get()), "first");
  // The worker gives up after its (shortened) wait and frees the one slot:
  // a later datagram is forwarded again.
  bool forwarded = false;
  for (int attempt = 0; attempt < 50 && !forwarded; ++attempt) {
    ::send(client.Get(), "again", 5, 0);
    forwarded = Received(silent.Get(), 200) == "again";
  }
  EXPECT_TRUE(forwarded);
  EXPECT_EQ(Received(client.Get(), 200), "") << "nothing comes back from a silent destination";
}

TEST(PortMapUdpE2eTest, DatagramFromAnotherSourcePortIsDroppedWithItsRecord) {
  CUdpEcho echo;
  EngineUnderTest engine("127.0.0.207");
  const uint16_t port = engine.FreeUdpPort();
  engine.AddStoreText(PortMapStoreText({.name = "game", .listen = engine.Ip() + ":" + std::to_string(port),
                                        .transport = "udp", .remote_port = echo.port(),
                                        .client_port = 9}));
  ASSERT_TRUE(engine.Start());
  ASSERT_TRUE(WaitUntil([&] { return IsListening(engine.Ip(), port, true); }));
  CScopedFd client(ConnectedUdp("127.0.0.1", engine.Ip(), port));
  ASSERT_EQ(::send(client.Get(), "x", 1, 0), 1);
  const std::string record = "PortMapThreadProc::sender's port (" +
                             std::to_string(LocalPort(client.Get())) +
                             ") is not listed for the datagram";
  EXPECT_TRUE(engine.WaitForLog(record));
  EXPECT_EQ(echo.count(), 0);
}

}  // namespace
}  // namespace qlm::test
