// Activity records reach a connected manager only with the Activity
// section's Enable on. A browser request through the HTTP proxy to a fake
// web server on loopback makes the records.
#include <gtest/gtest.h>
#include <poll.h>
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

// Answers one request with a small page, then closes.
class OnePageServer {
 public:
  explicit OnePageServer(const std::string& ip) : ip_(ip) {
    listener_ = ListenTcp(ip, &port_);
    thread_ = std::thread([this] {
      const int fd = ConnectionFrom(listener_);
      if (fd < 0) {
        return;
      }
      std::string head;
      char c;
      while (head.find("\r\n\r\n") == std::string::npos && ::read(fd, &c, 1) == 1) {
        head += c;
      }
      WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 4\r\nContent-Type: text/plain\r\n\r\npage");
      ::close(fd);
    });
  }
  ~OnePageServer() {
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
  }
  std::string Url() const { return "http://" + ip_ + ":" + std::to_string(port_) + "/"; }

 private:
  static int ConnectionFrom(int listener) {
    pollfd p{listener, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) {
      return -1;
    }
    return ::accept(listener, nullptr, nullptr);
  }

  std::string ip_;
  uint16_t port_ = 0;
  int listener_ = -1;
  std::thread thread_;
};

// Runs one request through the proxy with a manager connected. Returns the
// message types the manager received up to both the request's log line and
// the answer to a daemon-list request sent once the request completed; with
// `want_activity`, reading goes on until an activity record came.
std::vector<uint32_t> TypesSeenDuringARequest(EngineUnderTest& engine, uint16_t http_port,
                                              bool want_activity) {
  CManagerClient manager;
  EXPECT_TRUE(manager.Connect(engine.Ip(), engine.ManagerPort()));
  // Make sure the manager holds the slot before the request.
  manager.Send(link::MSG_GET_DAEMON_LIST);
  EXPECT_TRUE(manager.ReceiveType(link::MSG_DAEMON_LIST).has_value());
  OnePageServer server("127.0.0.1");
  const RunResult curl = qlm::test::Run(
      {"curl", "-sS", "--max-time", "10", "--noproxy", "", "-x",
       "http://" + engine.Ip() + ":" + std::to_string(http_port), server.Url()},
      {}, std::nullopt, 15s);
  EXPECT_EQ(curl.code, 0) << curl.err;
  EXPECT_EQ(curl.out, "page");
  manager.Send(link::MSG_GET_DAEMON_LIST);
  std::vector<uint32_t> types;
  bool list = false;
  bool line = false;
  bool activity = false;
  while (!(list && line && (activity || !want_activity)) && types.size() < 1000) {
    const std::optional<link::CMsg> msg = manager.Receive();
    if (!msg) {
      break;
    }
    types.push_back(msg->type);
    list = list || msg->type == link::MSG_DAEMON_LIST;
    line = line || msg->type == link::MSG_LOG_LINE;
    activity = activity || msg->type == link::MSG_ACTIVITY;
  }
  std::string log;
  for (const std::string& l : engine.LogLines()) {
    log += l + "\n";
  }
  std::string seen;
  for (uint32_t t : types) {
    seen += std::to_string(t) + " ";
  }
  EXPECT_TRUE(list && line) << "no daemon list or log line came; seen: " << seen << "; log:\n" << log;
  return types;
}

TEST(EngineActivityE2eTest, ActivityRecordsOnlyWithActivityEnabled) {
  {
    EngineUnderTest engine("127.0.0.41");
    engine.SetActivity(true);
    const uint16_t http = engine.AddDaemon("HTTP");
    ASSERT_TRUE(engine.Start());
    const std::vector<uint32_t> types = TypesSeenDuringARequest(engine, http, true);
    EXPECT_NE(std::find(types.begin(), types.end(), link::MSG_ACTIVITY), types.end());
  }
  {
    EngineUnderTest engine("127.0.0.42");
    engine.SetActivity(false);
    const uint16_t http = engine.AddDaemon("HTTP");
    ASSERT_TRUE(engine.Start());
    const std::vector<uint32_t> types = TypesSeenDuringARequest(engine, http, false);
    EXPECT_EQ(std::find(types.begin(), types.end(), link::MSG_ACTIVITY), types.end());
  }
}

}  // namespace
}  // namespace qlm::test
