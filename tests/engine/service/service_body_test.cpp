// The service body on loopback with a fixed configuration: start-up order,
// the manager port, the stop sequence.
#include "engine/service/service_body.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "engine/connection_limit.h"
#include "engine/engine_error_report.h"
#include "engine/log_file.h"
#include "net/shutdown_socket.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::engine {
namespace {

using namespace std::chrono_literals;

// Threads of the body outlive the test, as they outlive the engine's own
// service body: the engine object is never destroyed.
Engine& KeptEngine() {
  alignas(Engine) static unsigned char storage[sizeof(Engine)];
  static Engine* engine = ::new (storage) Engine();
  return *engine;
}

class ServiceBodyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    net::CShutdownSocket::Instance().ResetForTest();
    SetEngineDebugMode(true);
    char pattern[] = "/tmp/qlm-body-XXXXXX";
    folder_ = ::mkdtemp(pattern);
  }
  void TearDown() override {
    CloseLog();
    SetEngineReportSinkForTest(nullptr);
    net::CShutdownSocket::Instance().ResetForTest();
    std::filesystem::remove_all(folder_);
  }
  std::unique_ptr<EngineConfiguration> Config(const std::string& ip, uint16_t daemon_port) {
    auto config = std::make_unique<EngineConfiguration>();
    config->addressing = {true, ip, "127.0.0.1"};
    DaemonSource news;
    news.name = "Newsgroups";
    news.enable = true;
    news.listeners = {"10.0.0.1:" + std::to_string(daemon_port)};
    config->daemons = {news};
    config->max_connections = 7;
    config->log_enable = true;
    config->log_file = folder_ + "/body.log";
    return config;
  }

  std::string folder_;
};

TEST_F(ServiceBodyTest, StartsServesAndStopsAfterThePause) {
  const std::string ip = "127.0.0.71";
  const uint16_t manager_port = test::FreeTcpPort(ip);
  const uint16_t daemon_port = test::FreeTcpPort(ip);
  ServiceOptions options{manager_port};
  options.stop_pause = 200ms;
  options.load = [&] { return Config(ip, daemon_port); };
  CEngineEvents events;
  Engine& engine = KeptEngine();
  auto body = std::async(std::launch::async,
                         [&] { return RunServiceBody(engine, events, options); });
  ASSERT_TRUE(test::WaitUntil([&] {
    const int fd = test::ConnectTcp(ip, daemon_port);
    if (fd >= 0) {
      ::close(fd);
    }
    return fd >= 0;
  }));
  EXPECT_EQ(CConnectionLimit::Instance().Free(), 7u);
  EXPECT_EQ(engine.listeners.Keys(),
            std::vector<std::string>{ip + ":Newsgroups:" + std::to_string(daemon_port)});
  EXPECT_TRUE(EngineLog().IsOpen());
  EXPECT_TRUE(test::WaitUntil([&] { return EngineLog().LineCount() == 1; }));
  const int manager = test::ConnectTcp(ip, manager_port);
  EXPECT_GE(manager, 0);
  ::close(manager);

  const auto stop = std::chrono::steady_clock::now();
  events.Signal(EngineEvent::kStop);
  ASSERT_EQ(body.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(body.get(), ServiceResult::kStopped);
  EXPECT_GE(std::chrono::steady_clock::now() - stop, 200ms);
  EXPECT_TRUE(net::CShutdownSocket::Instance().IsClosed());
}

TEST_F(ServiceBodyTest, ManagerAddressNotOfThisHostStopsStartUp) {
  std::vector<std::string> reports;
  SetEngineReportSinkForTest(
      [&](const std::string& kind, const std::string& text) { reports.push_back(kind + "|" + text); });
  ServiceOptions options{6501};
  options.load = [&] { return Config("192.0.2.55", 1); };
  CEngineEvents events;
  Engine engine;
  EXPECT_EQ(RunServiceBody(engine, events, options), ServiceResult::kNotStarted);
  const std::string text = "Binding error in creating service socket. There may be another "
                           "application using 192.0.2.55:6501";
  EXPECT_EQ(reports, (std::vector<std::string>{"error|" + text,
                                               "Quillmar Service Error Message|" + text}));
  EXPECT_TRUE(engine.listeners.Keys().empty());  // nothing else opened
  EXPECT_FALSE(net::CShutdownSocket::Instance().IsClosed());
}

TEST(ManagerPortTest, EnvironmentOverridesOnlyWithAPortNumber) {
  ::unsetenv("QUILLMAR_MANAGER_PORT");
  EXPECT_EQ(ManagerPortFromEnvironment(), 6501);
  ::setenv("QUILLMAR_MANAGER_PORT", "16501", 1);
  EXPECT_EQ(ManagerPortFromEnvironment(), 16501);
  for (const char* bad : {"", "0", "65536", "12ab", "-1"}) {
    ::setenv("QUILLMAR_MANAGER_PORT", bad, 1);
    EXPECT_EQ(ManagerPortFromEnvironment(), 6501) << bad;
  }
  ::unsetenv("QUILLMAR_MANAGER_PORT");
}

}  // namespace
}  // namespace qlm::engine
