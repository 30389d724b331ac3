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

// Runs one request through the proxy with a manager connected; returns the
// types the manager received before the answer to a daemon-list request sent
// after the request completed.
std::vector<uint32_t> TypesSeenDuringARequest(EngineUnderTest& engine, uint16_t http_port) {
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
  std::vector<uint32_t> types;
  // The connection's records may trail the response a little: wait for the
  // log line of the request, then ask for the list.
  manager.Send(link::MSG_GET_DAEMON_LIST);
  for (int i = 0; i < 1000; ++i) {
    const std::optional<link::CMsg> msg = manager.Receive();
    if (!msg || msg->type == link::MSG_DAEMON_LIST) {
      break;
    }
    types.push_back(msg->type);
  }
  return types;
}

TEST(EngineActivityE2eTest, ActivityRecordsOnlyWithActivityEnabled) {
  {
    EngineUnderTest engine("127.0.0.41");
    engine.SetActivity(true);
    const uint16_t http = engine.AddDaemon("HTTP");
    ASSERT_TRUE(engine.Start());
    const std::vector<uint32_t> types = TypesSeenDuringARequest(engine, http);
    EXPECT_NE(std::find(types.begin(), types.end(), link::MSG_ACTIVITY), types.end());
  }
  {
    EngineUnderTest engine("127.0.0.42");
    engine.SetActivity(false);
    const uint16_t http = engine.AddDaemon("HTTP");
    ASSERT_TRUE(engine.Start());
    const std::vector<uint32_t> types = TypesSeenDuringARequest(engine, http);
    EXPECT_EQ(std::find(types.begin(), types.end(), link::MSG_ACTIVITY), types.end());
    EXPECT_FALSE(types.empty());  // the log lines of the request did come
  }
}

}  // namespace
}  // namespace qlm::test
