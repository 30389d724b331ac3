// The engine's listeners seen from outside: the daemon list, unknown
// daemons, a taken address, the log's size limit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "tests/e2e/support/engine_under_test.h"
#include "tests/e2e/support/manager_client.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::test {
namespace {

const char kNeverGoHere[] = "DaemonServerThreadProc:accept error never go here";

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(EngineListenersE2eTest, DaemonListEqualsTheOpenedListenersKeys) {
  EngineUnderTest engine("127.0.0.21");
  const uint16_t news = engine.AddDaemon("Newsgroups");
  const uint16_t dns = engine.AddDaemon("DNS", true, true);
  const uint16_t off = engine.AddDaemon("Gopher", false);
  // A second text of the same daemon that differs only in its address: with
  // UseDefaultIP it is the same listener and is not opened twice.
  engine.AddDaemonListener("Newsgroups", "10.1.2.3:" + std::to_string(news));
  ASSERT_TRUE(engine.Start());
  CManagerClient manager;
  ASSERT_TRUE(manager.Connect(engine.Ip(), engine.ManagerPort()));
  manager.Send(link::MSG_GET_DAEMON_LIST);
  const std::optional<link::CMsg> list = manager.ReceiveType(link::MSG_DAEMON_LIST);
  ASSERT_TRUE(list.has_value());
  const std::string ip = engine.Ip();
  EXPECT_EQ(Sorted(list->lines),
            Sorted({ip + ":Newsgroups:" + std::to_string(news), ip + ":DNS:" + std::to_string(dns)}));
  EXPECT_FALSE(IsListening(ip, off));
  EXPECT_TRUE(IsListening(ip, dns, true));
}

TEST(EngineListenersE2eTest, NewsgroupsConnectionsAreAcceptedLoggedAndClosed) {
  EngineUnderTest engine("127.0.0.22");
  const uint16_t port = engine.AddDaemon("Newsgroups");
  ASSERT_TRUE(engine.Start());
  for (int i = 0; i < 3; ++i) {
    const int fd = ConnectTcp(engine.Ip(), port);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ReadAll(fd, 64, 5000), "");
    ::close(fd);
  }
  ASSERT_TRUE(WaitUntil([&] { return engine.CountLog(kNeverGoHere) == 3; }));
  for (const std::string& line : engine.LogLines()) {
    // "%m/%d/%Y %H:%M:%S %#x ERR   text"
    EXPECT_NE(line.find(" ERR   DaemonServerThreadProc:accept error never go here"),
              std::string::npos)
        << line;
  }
}

TEST(EngineListenersE2eTest, TakenAddressGetsTheBindingMessageAndOthersStillOpen) {
  EngineUnderTest engine("127.0.0.23");
  uint16_t taken = 0;
  const int holder = ListenTcp(engine.Ip(), &taken);
  ASSERT_GE(holder, 0);
  engine.AddDaemonListener("Newsgroups", engine.Ip() + ":" + std::to_string(taken));
  const uint16_t free_port = engine.AddDaemon("Chat");
  ASSERT_TRUE(engine.Start());
  const std::string message = "Binding error in creating Newsgroups daemon. There may be another "
                              "application using " + engine.Ip() + ":" + std::to_string(taken) +
                              ". Please use a different IP:PORT or terminate the other "
                              "application.";
  EXPECT_TRUE(WaitUntil([&] {
    return engine.Process().Stderr().find("Quillmar Service Error Message: " + message) !=
           std::string::npos;
  }));
  EXPECT_TRUE(IsListening(engine.Ip(), free_port));
  CManagerClient manager;
  ASSERT_TRUE(manager.Connect(engine.Ip(), engine.ManagerPort()));
  manager.Send(link::MSG_GET_DAEMON_LIST);
  const std::optional<link::CMsg> list = manager.ReceiveType(link::MSG_DAEMON_LIST);
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(list->lines, std::vector<std::string>{engine.Ip() + ":Chat:" + std::to_string(free_port)});
  ::close(holder);
}

TEST(EngineListenersE2eTest, MaxLines10LeavesFiveLinesAfterTheEleventh) {
  EngineUnderTest engine("127.0.0.24");
  engine.SetLogging(true, 10);
  const uint16_t port = engine.AddDaemon("Newsgroups");
  ASSERT_TRUE(engine.Start());
  auto connect_once = [&] {
    const int fd = ConnectTcp(engine.Ip(), port);
    ASSERT_GE(fd, 0);
    ReadAll(fd, 16, 5000);
    ::close(fd);
  };
  for (int i = 0; i < 10; ++i) {
    connect_once();
  }
  ASSERT_TRUE(WaitUntil([&] { return engine.LogLines().size() == 10; }));
  connect_once();
  ASSERT_TRUE(WaitUntil([&] { return engine.LogLines().size() == 5; }));
  EXPECT_EQ(engine.CountLog(kNeverGoHere), 5u);
}

}  // namespace
}  // namespace qlm::test
