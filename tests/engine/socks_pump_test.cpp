// The relay pump between two real loopback connections: half-close, idle
// time-out, resets, the engine stop, write time-out and byte counts.
#include "engine/socks_pump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/shutdown_socket.h"
#include "net/winsock_errors.h"
#include "tests/net/net_test_util.h"

namespace qlm::engine {
namespace {

using net::CBlockingSocket;
using net::CBlockingSocketException;
using net::CShutdownSocket;
using net::Timeout;
using qlm::test::Fd;

constexpr Timeout kLongIdle{20000};

// client_app <-> in  [pump]  out <-> remote_app
class SocksPumpTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    CShutdownSocket::Instance().ResetForTest();
    qlm::test::TcpPair client = qlm::test::MakeTcpPair();
    qlm::test::TcpPair remote = qlm::test::MakeTcpPair();
    client_app_ = std::move(client.a);
    in_.Attach(Place(client.b.Release()));
    out_.Attach(Place(remote.a.Release()));
    remote_app_ = std::move(remote.b);
  }
  void TearDown() override {
    if (worker_.joinable()) {
      worker_.join();
    }
    CShutdownSocket::Instance().ResetForTest();
  }

  int Place(int fd) { return GetParam() ? qlm::test::MoveAbove(fd, 1500) : fd; }

  // Runs the pump on a thread of its own, as a connection thread would.
  void Start(Timeout idle, Timeout write_timeout = CSocksPump::kDefaultWriteTimeout) {
    pump_.emplace(&in_, &out_, write_timeout);
    worker_ = std::thread([this, idle] {
      tid_ = qlm::test::CurrentThreadId();
      try {
        pump_->Pump(idle);
      } catch (const CBlockingSocketException& e) {
        failure_ = e.Message();
        failure_code_ = e.ErrorCode();
      }
      done_ = true;
    });
  }
  bool Finish() {
    bool ended = qlm::test::WaitUntil([this] { return done_.load(); });
    if (ended) {
      worker_.join();
    }
    return ended;
  }

  Fd client_app_;
  Fd remote_app_;
  CBlockingSocket in_;
  CBlockingSocket out_;
  std::optional<CSocksPump> pump_;
  std::thread worker_;
  std::atomic<pid_t> tid_{0};
  std::atomic<bool> done_{false};
  std::string failure_;
  int failure_code_ = 0;
};

bool SeesEnd(int fd) {
  char byte;
  return recv(fd, &byte, 1, 0) == 0;
}

TEST_P(SocksPumpTest, ClientHalfCloseStillCarriesTheAnswer) {
  Start(kLongIdle);
  ASSERT_TRUE(qlm::test::WriteAll(client_app_.Get(), "GET /\r\n"));
  shutdown(client_app_.Get(), SHUT_WR);
  // The remote sees the request and then the half-close passed on.
  EXPECT_EQ(qlm::test::ReadAll(remote_app_.Get()), "GET /\r\n");
  ASSERT_TRUE(qlm::test::WriteAll(remote_app_.Get(), "answer"));
  remote_app_.Reset();
  EXPECT_EQ(qlm::test::ReadAll(client_app_.Get()), "answer");
  ASSERT_TRUE(Finish());
  EXPECT_EQ(failure_, "");
  EXPECT_EQ(pump_->BytesIn(), 7u);
  EXPECT_EQ(pump_->BytesOut(), 6u);
}

TEST_P(SocksPumpTest, IdleTimeOutShutsBothWaysAndReturns) {
  Start(Timeout{80});
  ASSERT_TRUE(Finish());
  EXPECT_EQ(failure_, "");
  EXPECT_TRUE(SeesEnd(client_app_.Get()));
  EXPECT_TRUE(SeesEnd(remote_app_.Get()));
  // The pump's own reading sides are shut too.
  char byte;
  EXPECT_EQ(recv(in_.Handle(), &byte, 1, MSG_DONTWAIT), 0);
  EXPECT_EQ(recv(out_.Handle(), &byte, 1, MSG_DONTWAIT), 0);
  EXPECT_EQ(pump_->BytesIn(), 0u);
  EXPECT_EQ(pump_->BytesOut(), 0u);
}

TEST_P(SocksPumpTest, RemoteResetEndsItsDirectionSilently) {
  Start(kLongIdle);
  ASSERT_TRUE(qlm::test::WriteAll(remote_app_.Get(), "abc"));
  EXPECT_EQ(qlm::test::ReadAll(client_app_.Get(), 3), "abc");
  linger hard{1, 0};
  setsockopt(remote_app_.Get(), SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
  remote_app_.Reset();  // RST: the pump's receive gets ECONNRESET
  // The client learns the remote is gone ...
  EXPECT_TRUE(SeesEnd(client_app_.Get()));
  // ... and what it still sends meets the reset on the write: that ends the
  // other direction, again without an exception.
  ASSERT_TRUE(qlm::test::WriteAll(client_app_.Get(), "late"));
  ASSERT_TRUE(Finish());
  EXPECT_EQ(failure_, "");
  EXPECT_EQ(pump_->BytesOut(), 3u);
  EXPECT_EQ(pump_->BytesIn(), 4u);
}

TEST_P(SocksPumpTest, EngineStopThrowsSelectSocketClosed) {
  Start(kLongIdle);
  ASSERT_TRUE(qlm::test::WaitUntilBlockedInPoll(tid_));
  CShutdownSocket::Instance().Close();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(failure_, "CSocksPump::Pump:select:socket closed");
}

TEST_P(SocksPumpTest, SlowReceiverEndsThePumpWithTheWriteTimeOut) {
  Start(kLongIdle, Timeout{100});
  // The remote never reads: once every buffer is full the relay's write
  // gives up after the (shortened) write time-out.
  std::string block(64 * 1024, 'b');
  std::atomic<bool> stop_writing{false};
  std::thread writer([&] {
    for (int i = 0; i < 2000 && !stop_writing; ++i) {
      if (send(client_app_.Get(), block.data(), block.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0) {
        pollfd entry{client_app_.Get(), POLLOUT, 0};
        poll(&entry, 1, 20);
      }
    }
  });
  bool ended = Finish();
  stop_writing = true;
  writer.join();
  ASSERT_TRUE(ended);
  EXPECT_EQ(failure_, "CBlockingSocket::Send timeout");
  EXPECT_GT(pump_->BytesIn(), 0u);
}

TEST_P(SocksPumpTest, CountersMatchALargeTwoWayRelay) {
  Start(kLongIdle);
  std::string up(3 << 20, 'u');
  std::string down(1 << 20, 'd');
  for (size_t i = 0; i < up.size(); i += 4099) {
    up[i] = static_cast<char>(i % 251);
  }
  std::string got_up;
  std::string got_down;
  std::thread remote([&] {
    std::thread reader([&] { got_up = qlm::test::ReadAll(remote_app_.Get(), up.size() + 1); });
    qlm::test::WriteAll(remote_app_.Get(), down);
    shutdown(remote_app_.Get(), SHUT_WR);
    reader.join();
  });
  std::thread reader([&] { got_down = qlm::test::ReadAll(client_app_.Get(), down.size() + 1); });
  qlm::test::WriteAll(client_app_.Get(), up);
  shutdown(client_app_.Get(), SHUT_WR);
  remote.join();
  reader.join();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(failure_, "");
  EXPECT_TRUE(got_up == up);
  EXPECT_TRUE(got_down == down);
  EXPECT_EQ(pump_->BytesIn(), up.size());
  EXPECT_EQ(pump_->BytesOut(), down.size());
}

// The counters are 64 bits: a relay past 4 GiB (a disk image, a backup) is
// counted whole, not modulo 2^32.
// One descriptor placement is enough for the long relay.
class SocksPumpLongTest : public SocksPumpTest {};

TEST_P(SocksPumpLongTest, CountsPastFourGibibytes) {
  Start(kLongIdle);
  constexpr uint64_t kTotal = (uint64_t{4} << 30) + 12345;
  std::atomic<uint64_t> received{0};
  std::thread remote([&] {
    std::vector<char> sink(1 << 20);
    for (;;) {
      const ssize_t got = recv(remote_app_.Get(), sink.data(), sink.size(), 0);
      if (got <= 0) break;
      received += static_cast<uint64_t>(got);
    }
    shutdown(remote_app_.Get(), SHUT_WR);
  });
  const std::vector<char> block(1 << 20, 'z');
  uint64_t sent = 0;
  while (sent < kTotal) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(block.size(), kTotal - sent));
    const ssize_t put = send(client_app_.Get(), block.data(), want, MSG_NOSIGNAL);
    ASSERT_GT(put, 0);
    sent += static_cast<uint64_t>(put);
  }
  shutdown(client_app_.Get(), SHUT_WR);
  remote.join();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(failure_, "");
  EXPECT_EQ(received.load(), kTotal);
  EXPECT_EQ(pump_->BytesIn(), kTotal);
  EXPECT_EQ(pump_->BytesOut(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Low, SocksPumpLongTest, ::testing::Values(false));

INSTANTIATE_TEST_SUITE_P(Descriptors, SocksPumpTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("Above1024") : std::string("Low");
                         });

// A receive failure that is not a reset leaves the pump with its own text: a
// listening socket with a connection waiting is readable, but recv on it fails.
TEST(SocksPumpErrorTest, ReceiveFailureOtherThanResetThrows) {
  CShutdownSocket::Instance().ResetForTest();
  uint16_t port = 0;
  CBlockingSocket listener;
  listener.Attach(qlm::test::ListenTcp("127.0.0.1", &port));
  Fd waiting(qlm::test::ConnectTcp("127.0.0.1", port));
  qlm::test::TcpPair other = qlm::test::MakeTcpPair();
  CBlockingSocket out;
  out.Attach(other.a.Release());
  CSocksPump pump(&listener, &out);
  try {
    pump.Pump(Timeout{10000});
    ADD_FAILURE() << "no exception";
  } catch (const CBlockingSocketException& e) {
    EXPECT_EQ(e.Message(), "CSocksPump::Pump:recv:m_in");
    EXPECT_EQ(e.ErrorCode(), net::WSAENOTCONN);
  }
  CSocksPump reversed(&out, &listener);
  try {
    reversed.Pump(Timeout{10000});
    ADD_FAILURE() << "no exception";
  } catch (const CBlockingSocketException& e) {
    EXPECT_EQ(e.Message(), "CSocksPump::Pump:recv:m_out");
  }
}

}  // namespace
}  // namespace qlm::engine
