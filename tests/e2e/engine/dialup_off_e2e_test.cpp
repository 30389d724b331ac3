// Dial-up switched on where nothing can dial (no pppd on the engine's PATH):
// dial-up is off, as for a missing dial-up library. A browser's request is
// served at once, with no dial-up page and no wait for a line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_servers.h"
#include "tests/support/loopback.h"

namespace qlm::test {
namespace {

TEST(EngineDialUpOffE2eTest, AllThreeSwitchesWithoutABackendServeAtOnce) {
  CTcpServer origin([](int fd) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
      if (got <= 0) {
        return;
      }
      request.append(buffer, static_cast<size_t>(got));
    }
    WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello");
  });
  EngineUnderTest engine("127.0.0.72");
  const uint16_t http = engine.AddDaemon("HTTP");
  engine.AddStoreText(
      "[General]\n\"UseDialUp\"=dword:00000001\n\"DialUpManaged\"=dword:00000001\n"
      "\"AutoConnect\"=dword:00000001\n\"DialUpProfile\"=\"provider\"\n\n");
  engine.SetEnvironment("PATH", engine.Folder() + "/no-programs-here");
  ASSERT_TRUE(engine.Start());

  const std::string proxy = "http://" + engine.Ip() + ":" + std::to_string(http);
  const std::string url = "http://127.0.0.1:" + std::to_string(origin.Port()) + "/";
  const auto start = std::chrono::steady_clock::now();
  const RunResult got = qlm::test::Run({"curl", "-s", "--max-time", "10", "-x", proxy, url, url});
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(got.code, 0) << got.err;
  EXPECT_EQ(got.out, "hellohello");
  EXPECT_LT(took, std::chrono::seconds(1));
  EXPECT_EQ(engine.CountLog("DIAL"), 0u);
}

}  // namespace
}  // namespace qlm::test
