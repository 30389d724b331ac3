// The one worker shape: whatever a session throws ends its own connection
// with one ERR line, the slot comes back and the next connection is served.
#include "engine/connection_worker.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>

#include <atomic>
#include <stdexcept>
#include <string>

#include "engine/log_throttle.h"
#include "tests/support/log_capture.h"

namespace qlm::engine {
namespace {

class CTestClient : public net::CBlockingSocket {};

// What the next session does when it runs.
enum class Act { kServe, kSocketFailure, kRuntimeError, kOutOfMemory, kOther };
std::atomic<Act> next_act{Act::kServe};
std::atomic<int> served{0};
std::atomic<int> refused{0};
std::atomic<bool> client_open_at_session_end{false};

struct CTestSession {
  using Client = CTestClient;
  CTestSession(ConnectionContext&, Client& client, ThreadTag) : client_fd_(client.Handle()) {}
  // The client object is gone by now (it went with the context): only its
  // descriptor number is left to look at.
  ~CTestSession() { client_open_at_session_end = ::fcntl(client_fd_, F_GETFD) != -1; }
  void Run() {
    switch (next_act.load()) {
      case Act::kServe:
        ++served;
        return;
      case Act::kSocketFailure:
        throw net::CBlockingSocketException("TestThreadProc:peer went away", 10054);
      case Act::kRuntimeError:
        throw std::runtime_error("vector too long");
      case Act::kOutOfMemory:
        throw std::bad_alloc();
      case Act::kOther:
        throw 42;
    }
  }
  void Refuse() {
    ++refused;
    throw net::CBlockingSocketException("TestThreadProc:Limited by maximum connections.");
  }
  int client_fd_;
};

CConnectionLimit test_limit(1);
CConnectionLimit& TestLimit() { return test_limit; }

constexpr WorkerTexts kTexts{.proc = "TestThreadProc",
                             .no_client = "TestThreadProc:no client",
                             .prefix = "[",
                             .suffix = " in test connection",
                             .limit = &TestLimit};

ConnectionContextPtr ContextWithClient() {
  auto context = std::make_unique<ConnectionContext>();
  int pair[2];
  EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  auto client = std::make_unique<CTestClient>();
  client->Attach(pair[0]);
  ::close(pair[1]);
  context->Client = std::move(client);
  return context;
}

class ConnectionWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test_limit.Reset(1);
    served = 0;
    refused = 0;
  }
  int Run(Act act) {
    next_act = act;
    return RunWorker<CTestSession>(ContextWithClient(), kTexts);
  }
  test::CLogCapture log_;
};

TEST_F(ConnectionWorkerTest, AnyFailureEndsOnlyItsConnectionAndTheNextIsServed) {
  EXPECT_EQ(Run(Act::kRuntimeError), 0);
  EXPECT_EQ(Run(Act::kOutOfMemory), 0);
  EXPECT_EQ(Run(Act::kOther), 0);
  EXPECT_EQ(Run(Act::kSocketFailure), 0);
  EXPECT_TRUE(log_.HasLine("ERR", "TestThreadProc:vector too long in test connection"));
  EXPECT_TRUE(log_.HasLine("ERR", "TestThreadProc:Out of memory in test connection"));
  EXPECT_TRUE(log_.HasLine("ERR", "TestThreadProc:unexpected failure in test connection"));
  EXPECT_TRUE(log_.HasLineStartingWith("ERR", "[TestThreadProc:peer went away"));
  EXPECT_EQ(log_.Logs().size(), 4u) << log_.All();
  // Every failure gave its slot back: the one slot serves the next client.
  EXPECT_EQ(test_limit.Free(), 1u);
  EXPECT_EQ(Run(Act::kServe), 0);
  EXPECT_EQ(served.load(), 1);
}

TEST_F(ConnectionWorkerTest, EveryEndSendsTheEndedRecordAndClosesTheClientFirst) {
  Run(Act::kServe);
  Run(Act::kRuntimeError);
  int ended = 0;
  for (const test::ActivityCall& call : log_.Activities()) {
    ended += call.text.has_value() ? 0 : 1;
  }
  EXPECT_EQ(ended, 2);
  // The context (and with it the client) goes before the session.
  EXPECT_FALSE(client_open_at_session_end.load());
}

TEST_F(ConnectionWorkerTest, NoFreeSlotRefusesInTheProtocolsWords) {
  ASSERT_TRUE(test_limit.TryTake());
  Run(Act::kServe);
  EXPECT_EQ(served.load(), 0);
  EXPECT_EQ(refused.load(), 1);
  EXPECT_TRUE(log_.HasLine("ERR", "[TestThreadProc:Limited by maximum connections. in test connection"));
  test_limit.Give();
  EXPECT_EQ(test_limit.Free(), 1u) << "a refused worker holds no slot";
}

TEST_F(ConnectionWorkerTest, AContextWithoutItsClientTypeIsOneErrLine) {
  auto context = std::make_unique<ConnectionContext>();
  context->Client = std::make_unique<net::CBlockingSocket>();
  EXPECT_EQ(RunWorker<CTestSession>(std::move(context), kTexts), 0);
  EXPECT_TRUE(log_.HasLine("ERR", "[TestThreadProc:no client in test connection"));
  EXPECT_EQ(test_limit.Free(), 1u);
}

TEST(LogThrottleTest, OneLineASecond) {
  CLogThrottle throttle;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(throttle.Allow(start));
  EXPECT_FALSE(throttle.Allow(start + std::chrono::milliseconds(999)));
  EXPECT_TRUE(throttle.Allow(start + std::chrono::milliseconds(1000)));
  EXPECT_FALSE(throttle.Allow(start + std::chrono::milliseconds(1500)));
}

}  // namespace
}  // namespace qlm::engine
