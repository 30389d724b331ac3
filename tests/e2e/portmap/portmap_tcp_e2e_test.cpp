// TCP port mappings through the engine: relaying both ways with the
// half-close passed on, several listen entries of one mapping, the client
// port rule, an unresolvable destination, and every one of 200 listeners
// served.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/portmap/portmap_e2e_support.h"
#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/fake_servers.h"
#include "tests/support/loopback.h"
#include "tests/support/scoped_fd.h"
#include "tests/support/wait_until.h"

namespace qlm::test {
namespace {

std::string RandomBytes(size_t size) {
  std::mt19937 generator(7);
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    byte = static_cast<char>(generator());
  }
  return bytes;
}

// Sends `data`, half-closes, and reads until the far end closes.
std::string EchoThrough(const std::string& ip, uint16_t port, const std::string& data) {
  CScopedFd fd(ConnectTcp(ip, port));
  if (!fd.Valid()) {
    return "<no connection>";
  }
  std::thread writer([&] {
    WriteAll(fd.Get(), data);
    ::shutdown(fd.Get(), SHUT_WR);
  });
  std::string got = ReadAll(fd.Get(), data.size() + 1, 10000);
  writer.join();
  return got;
}

TEST(PortMapTcpE2eTest, RelaysOneMebibyteBothWaysAndPassesTheHalfCloseOn) {
  CTcpEcho echo;
  EngineUnderTest engine("127.0.0.201");
  const uint16_t first = engine.FreeTcpPort();
  const uint16_t second = engine.FreeTcpPort();
  // One mapping, two listen entries: the first entry's values serve both.
  engine.AddStoreText(PortMapStoreText({.name = "web", .listen = engine.Ip() + ":" + std::to_string(first),
                                        .remote_port = echo.port()}));
  engine.AddStoreText(PortMapStoreText({.name = "web", .listen = engine.Ip() + ":" + std::to_string(second),
                                        .remote_port = echo.port()}));
  ASSERT_TRUE(engine.Start());
  ASSERT_TRUE(WaitUntil([&] { return IsListening(engine.Ip(), first) && IsListening(engine.Ip(), second); }));
  const std::string data = RandomBytes(1 << 20);
  const std::string echoed = EchoThrough(engine.Ip(), first, data);
  EXPECT_EQ(echoed.size(), data.size());
  size_t differs = 0;
  while (differs < echoed.size() && differs < data.size() && echoed[differs] == data[differs]) {
    ++differs;
  }
  EXPECT_EQ(differs, data.size()) << "first different byte";
  EXPECT_EQ(EchoThrough(engine.Ip(), second, "two entries, one mapping"),
            "two entries, one mapping");
  EXPECT_TRUE(engine.WaitForLog("PORT-MAP  127.0.0.1"));
}

TEST(PortMapTcpE2eTest, ClientFromAnotherSourcePortIsRefused) {
  CTcpEcho echo;
  EngineUnderTest engine("127.0.0.202");
  const uint16_t port = engine.FreeTcpPort();
  const uint16_t allowed = FreeTcpPort("127.0.0.1");
  engine.AddStoreText(PortMapStoreText({.name = "game", .listen = engine.Ip() + ":" + std::to_string(port),
                                        .remote_port = echo.port(), .client_port = allowed}));
  ASSERT_TRUE(engine.Start());
  ASSERT_TRUE(WaitUntil([&] { return IsListening(engine.Ip(), port); }));
  // Any other source port: closed without a byte relayed.
  EXPECT_EQ(EchoThrough(engine.Ip(), port, "hello"), "");
  EXPECT_TRUE(engine.WaitForLog(
      "PortMapClientThreadProc:Client connect from bad port number Port mapping connection closed"));
  // From the allowed port it is served.
  CScopedFd fd(::socket(AF_INET, SOCK_STREAM, 0));
  const int one = 1;
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(allowed);
  inet_pton(AF_INET, "127.0.0.1", &local.sin_addr);
  ASSERT_EQ(::bind(fd.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(port);
  inet_pton(AF_INET, engine.Ip().c_str(), &remote.sin_addr);
  ASSERT_EQ(::connect(fd.Get(), reinterpret_cast<sockaddr*>(&remote), sizeof remote), 0);
  ASSERT_TRUE(WriteAll(fd.Get(), "ok"));
  ::shutdown(fd.Get(), SHUT_WR);
  EXPECT_EQ(ReadAll(fd.Get(), 16, 10000), "ok");
}

TEST(PortMapTcpE2eTest, UnresolvableDestinationFailsTheConnectionNotTheStart) {
  EngineUnderTest engine("127.0.0.203");
  const uint16_t port = engine.FreeTcpPort();
  engine.AddStoreText(PortMapStoreText({.name = "gone", .listen = engine.Ip() + ":" + std::to_string(port),
                                        .remote_server = "no-such-host.invalid", .remote_port = 80}));
  ASSERT_TRUE(engine.Start());
  ASSERT_TRUE(WaitUntil([&] { return IsListening(engine.Ip(), port); }));
  EXPECT_EQ(EchoThrough(engine.Ip(), port, "hello"), "");
  EXPECT_TRUE(engine.WaitForLog("Port mapping to remote host <no-such-host.invalid> is unresolved! "
                                "Port mapping connection closed"));
}

TEST(PortMapTcpE2eTest, EveryOneOf200ListenersIsServed) {
  CTcpServer echo([](int fd) {
    char byte = 0;
    if (::recv(fd, &byte, 1, 0) == 1) {
      ::send(fd, &byte, 1, MSG_NOSIGNAL);
    }
  });
  EngineUnderTest engine("127.0.0.204");
  std::vector<uint16_t> ports;
  for (int i = 0; i < 200; ++i) {
    ports.push_back(engine.FreeTcpPort());
    engine.AddStoreText(PortMapStoreText({.name = "map" + std::to_string(i),
                                          .listen = engine.Ip() + ":" + std::to_string(ports.back()),
                                          .remote_port = echo.Port()}));
  }
  ASSERT_TRUE(engine.Start());
  // The store lists mappings by name, so "map99" opens after "map199": wait for each one.
  for (const uint16_t port : ports) {
    ASSERT_TRUE(WaitUntil([&] { return IsListening(engine.Ip(), port); })) << port;
  }
  int served = 0;
  for (const uint16_t port : ports) {
    CScopedFd fd(ConnectTcp(engine.Ip(), port));
    if (fd.Valid() && WriteAll(fd.Get(), "x") && ReadAll(fd.Get(), 1, 10000) == "x") {
      ++served;
    }
  }
  EXPECT_EQ(served, 200);
}

}  // namespace
}  // namespace qlm::test
