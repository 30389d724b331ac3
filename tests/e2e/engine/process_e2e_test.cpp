// The engine as a process: the debug texts, the instance lock, the stop.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "tests/e2e/support/engine_under_test.h"
#include "tests/e2e/support/manager_client.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::test {
namespace {

using namespace std::chrono_literals;

TEST(EngineProcessE2eTest, DebugModePrintsItsTextsAndStopsOnCtrlC) {
  EngineUnderTest engine("127.0.0.11");
  ASSERT_TRUE(engine.Start());
  EXPECT_TRUE(WaitUntil([&] { return engine.Process().Stdout() == "Debugging Quillmar Service.\n"; }));
  EXPECT_EQ(engine.Stop(SIGINT), std::optional<int>(0));
  EXPECT_EQ(engine.Process().Stdout(),
            "Debugging Quillmar Service.\nStopping Quillmar Service.\n");
}

TEST(EngineProcessE2eTest, SecondEngineExitsWithCode2AndTouchesNoPort) {
  EngineUnderTest engine("127.0.0.12");
  const uint16_t port = engine.AddDaemon("Newsgroups");
  ASSERT_TRUE(engine.Start());
  // The second engine runs on the same run-time folder; its own manager port
  // and store would be free, yet it must not open them.
  std::map<std::string, std::string> env = engine.Environment();
  const uint16_t second_manager = engine.FreeTcpPort();
  env["QUILLMAR_MANAGER_PORT"] = std::to_string(second_manager);
  for (const char* word : {"-debug", "-win32", "/INSTALL", ""}) {
    const RunResult second = qlm::test::Run({std::string(QLM_BIN_DIR) + "/qlmsvr", word}, env, std::nullopt, 10s);
    EXPECT_EQ(second.code, 2) << word;
    EXPECT_NE(second.err.find("Quillmar Service is still running"), std::string::npos) << word;
    EXPECT_EQ(second.out, "") << word;
    EXPECT_FALSE(IsListening(engine.Ip(), second_manager));
  }
  // The first engine still serves.
  EXPECT_TRUE(IsListening(engine.Ip(), port));
  const int fd = ConnectTcp(engine.Ip(), port);
  EXPECT_GE(fd, 0);
  ::close(fd);
  EXPECT_TRUE(engine.WaitForLog("DaemonServerThreadProc:accept error never go here"));
}

TEST(EngineProcessE2eTest, StopsWithinTwoSecondsWhileConnectionsAreOpen) {
  EngineUnderTest engine("127.0.0.13");
  const uint16_t mapped = engine.FreeTcpPort();
  engine.AddStoreText("[PortMap\\" + engine.Ip() + ":" + std::to_string(mapped) +
                      "/tcp]\n\"Name\"=\"Held\"\n\"RemoteServer\"=\"127.0.0.1\"\n"
                      "\"RemotePort\"=dword:00000001\n\"Enable\"=hex:01\n\n");
  const uint16_t http = engine.AddDaemon("HTTP");
  ASSERT_TRUE(engine.Start());
  CManagerClient manager;
  ASSERT_TRUE(manager.Connect(engine.Ip(), engine.ManagerPort()));
  manager.Send(link::MSG_GET_DAEMON_LIST);
  ASSERT_TRUE(manager.ReceiveType(link::MSG_DAEMON_LIST).has_value());  // the manager is served
  ASSERT_TRUE(WaitUntil([&] { return IsListening(engine.Ip(), mapped); }));
  std::vector<int> held;
  for (int i = 0; i < 3; ++i) {
    held.push_back(ConnectTcp(engine.Ip(), mapped));  // waiting in the backlog
    EXPECT_GE(held.back(), 0);
    held.push_back(ConnectTcp(engine.Ip(), http));    // a thread waits for the request
    EXPECT_GE(held.back(), 0);
  }
  const auto start = std::chrono::steady_clock::now();
  const std::optional<int> code = engine.Stop(SIGINT, 5s);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(code, std::optional<int>(0));
  EXPECT_GE(took, 1400ms);  // the stop pause lets connection threads finish
  EXPECT_LT(took, 2500ms);
  EXPECT_TRUE(manager.ClosedByEngine());
  for (int fd : held) {
    ::close(fd);
  }
}

TEST(EngineProcessE2eTest, ManagerPortTakenStopsStartUpWithTheBindingMessage) {
  EngineUnderTest engine("127.0.0.14");
  const uint16_t port = engine.AddDaemon("Newsgroups");
  ASSERT_TRUE(engine.WriteStore());
  // Someone else holds the manager port on the service address.
  const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(engine.ManagerPort());
  inet_pton(AF_INET, engine.Ip().c_str(), &address.sin_addr);
  ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(holder, 1), 0);
  const RunResult run =
      qlm::test::Run({std::string(QLM_BIN_DIR) + "/qlmsvr", "-debug"}, engine.Environment(), std::nullopt, 10s);
  ::close(holder);
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("Quillmar Service Error Message: Binding error in creating service "
                         "socket. There may be another application using " +
                         engine.Ip() + ":" + std::to_string(engine.ManagerPort())),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(IsListening(engine.Ip(), port));  // nothing else was opened
}

}  // namespace
}  // namespace qlm::test

namespace qlm::test {
namespace {

bool InstanceLockFree(const std::string& run_dir) {
  const int fd = ::open((run_dir + "/QuillmarServiceInstance").c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

TEST(EngineProcessE2eTest, Win32RunsInTheBackgroundUntilTheManagerStopsIt) {
  EngineUnderTest engine("127.0.0.15");
  ASSERT_TRUE(engine.WriteStore());
  const RunResult start = qlm::test::Run({std::string(QLM_BIN_DIR) + "/qlmsvr", "/Win32"},
                                         engine.Environment(), std::nullopt, std::chrono::seconds(10));
  EXPECT_EQ(start.code, 0);  // the starter returns at once
  CManagerClient manager;
  ASSERT_TRUE(WaitUntil([&] { return manager.Connect(engine.Ip(), engine.ManagerPort()); }));
  const std::string run_dir = engine.Environment().at("QUILLMAR_RUNDIR");
  EXPECT_FALSE(InstanceLockFree(run_dir));  // the background engine holds it
  manager.Send(link::MSG_STOP_ENGINE);
  EXPECT_TRUE(WaitUntil([&] { return InstanceLockFree(run_dir); }));
}

// The soft and hard "Max open files" of a running process.
std::optional<std::pair<std::string, std::string>> OpenFilesLimits(int pid) {
  std::ifstream limits("/proc/" + std::to_string(pid) + "/limits");
  std::string line;
  while (std::getline(limits, line)) {
    if (line.rfind("Max open files", 0) == 0) {
      std::istringstream fields(line.substr(14));
      std::string soft, hard;
      fields >> soft >> hard;
      return std::make_pair(soft, hard);
    }
  }
  return std::nullopt;
}

// Started with a soft limit of 256 (inherited from this test), the engine
// runs with its soft limit at the hard one: 2000 connections need > 4000.
TEST(EngineProcessE2eTest, SoftDescriptorLimitIsRaisedToTheHardLimit) {
  EngineUnderTest engine("127.0.0.16");
  rlimit mine{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &mine), 0);
  ASSERT_GT(mine.rlim_max, 256u);
  rlimit low = mine;
  low.rlim_cur = 256;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  ASSERT_TRUE(engine.WriteStore());
  engine.Launch();
  ::setrlimit(RLIMIT_NOFILE, &mine);
  ASSERT_TRUE(WaitUntil([&] { return IsListening(engine.Ip(), engine.ManagerPort()); }));
  const auto limits = OpenFilesLimits(engine.Process().Pid());
  ASSERT_TRUE(limits.has_value());
  EXPECT_EQ(limits->first, limits->second);
  EXPECT_EQ(limits->second, mine.rlim_max == RLIM_INFINITY ? std::string("unlimited")
                                                           : std::to_string(mine.rlim_max));
}

}  // namespace
}  // namespace qlm::test
