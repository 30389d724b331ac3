// The manager port: the log on request only with logging on, and managers
// only from this host (a second network namespace supplies the stranger).
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "tests/e2e/support/engine_under_test.h"
#include "tests/e2e/support/manager_client.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::test {
namespace {

using namespace std::chrono_literals;

// Requests are answered in order, so the daemon list coming first means the
// log request got no answer.
std::optional<link::CMsg> FirstAnswerToLogRequest(EngineUnderTest& engine) {
  CManagerClient manager;
  if (!manager.Connect(engine.Ip(), engine.ManagerPort())) {
    return std::nullopt;
  }
  manager.Send(link::MSG_GET_LOG);
  manager.Send(link::MSG_GET_DAEMON_LIST);
  for (int i = 0; i < 100; ++i) {
    std::optional<link::CMsg> msg = manager.Receive();
    if (!msg || msg->type != link::MSG_LOG_LINE) {
      return msg;
    }
  }
  return std::nullopt;
}

TEST(EngineManagerE2eTest, LogIsSentOnlyWithLoggingOn) {
  {
    EngineUnderTest engine("127.0.0.31");
    const uint16_t port = engine.AddDaemon("Newsgroups");
    ASSERT_TRUE(engine.Start());
    const int fd = ConnectTcp(engine.Ip(), port);
    ::close(fd);
    ASSERT_TRUE(engine.WaitForLog("never go here"));
    const std::optional<link::CMsg> answer = FirstAnswerToLogRequest(engine);
    ASSERT_TRUE(answer.has_value());
    ASSERT_EQ(answer->type, link::MSG_LOG_CONTENT);
    ASSERT_EQ(answer->lines.size(), 1u);
    EXPECT_NE(answer->lines[0].find("DaemonServerThreadProc:accept error never go here"),
              std::string::npos);
  }
  {
    EngineUnderTest engine("127.0.0.32");
    engine.SetLogging(false);
    engine.AddDaemon("Newsgroups");
    ASSERT_TRUE(engine.Start());
    const std::optional<link::CMsg> answer = FirstAnswerToLogRequest(engine);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->type, link::MSG_DAEMON_LIST);
    EXPECT_TRUE(engine.LogLines().empty());
  }
}

// Two network namespaces joined by a veth pair, with addresses that exist
// only on those two ends; removed (with the pair) at the end.
class NamespacePair {
 public:
  NamespacePair() {
    const std::string tag = std::to_string(::getpid() % 100000);
    engine_ = "qlm-eng-" + tag;
    stranger_ = "qlm-str-" + tag;
    ok_ = Sh("ip netns add " + engine_) && Sh("ip netns add " + stranger_) &&
          Sh("ip link add qe" + tag + " netns " + engine_ + " type veth peer name qs" + tag +
             " netns " + stranger_) &&
          Sh(In(engine_) + "ip addr add 10.250.7.1/24 dev qe" + tag) &&
          Sh(In(stranger_) + "ip addr add 10.250.7.2/24 dev qs" + tag) &&
          Sh(In(engine_) + "ip link set qe" + tag + " up") &&
          Sh(In(stranger_) + "ip link set qs" + tag + " up") &&
          Sh(In(engine_) + "ip link set lo up");
  }
  ~NamespacePair() {
    Sh("ip netns del " + stranger_);
    Sh("ip netns del " + engine_);
  }
  bool Ok() const { return ok_; }
  const std::string& Engine() const { return engine_; }
  const std::string& Stranger() const { return stranger_; }

  // Connects to ip:port from inside namespace `name`, on a thread of its own
  // (a namespace switch applies to the calling thread only).
  static int ConnectFrom(const std::string& name, const std::string& ip, uint16_t port) {
    int result = -1;
    std::thread([&] {
      const int ns = ::open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
      if (ns >= 0 && ::setns(ns, CLONE_NEWNET) == 0) {
        result = ConnectTcp(ip, port);
      }
      if (ns >= 0) {
        ::close(ns);
      }
    }).join();
    return result;
  }

 private:
  static std::string In(const std::string& name) { return "ip netns exec " + name + " "; }
  static bool Sh(const std::string& command) {
    const RunResult r = Run({"sh", "-c", command}, {}, std::nullopt, 10s);
    if (r.code != 0) {
      ADD_FAILURE() << command << ": " << r.out << r.err;
    }
    return r.code == 0;
  }

  std::string engine_;
  std::string stranger_;
  bool ok_ = false;
};

TEST(EngineManagerE2eTest, ManagerFromAnotherHostIsRefused) {
  NamespacePair namespaces;
  ASSERT_TRUE(namespaces.Ok());
  {
    EngineUnderTest engine("10.250.7.1", {"ip", "netns", "exec", namespaces.Engine()});
    ASSERT_TRUE(engine.Start());
    // From the other end of the pair: accepted by the kernel, then closed by
    // the engine without a word, and logged.
    // The pair's link may take a moment to come up.
    int stranger = -1;
    ASSERT_TRUE(WaitUntil([&] {
      stranger = NamespacePair::ConnectFrom(namespaces.Stranger(), engine.Ip(), engine.ManagerPort());
      return stranger >= 0;
    }));
    EXPECT_EQ(ReadAll(stranger, 64, 5000), "");
    ::close(stranger);
    EXPECT_TRUE(engine.WaitForLog("ManagerServerThreadProc:manager connection from 10.250.7.2 "
                                  "refused, not an address of this host"));
    // From the engine's own host the same port serves a manager.
    const int local =
        NamespacePair::ConnectFrom(namespaces.Engine(), engine.Ip(), engine.ManagerPort());
    ASSERT_GE(local, 0);
    const std::string request("\x03\x00\x00\x00", 4);  // MSG_GET_DAEMON_LIST
    ASSERT_TRUE(WriteAll(local, request));
    const std::string answer = ReadAll(local, 6, 5000);
    EXPECT_EQ(answer.substr(0, 4), std::string("\x02\x00\x00\x00", 4));  // MSG_DAEMON_LIST
    ::close(local);
  }
}

}  // namespace
}  // namespace qlm::test
