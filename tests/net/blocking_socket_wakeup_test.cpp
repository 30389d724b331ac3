// The engine stop ends every blocked wait of the socket class at once, and
// every wait works on descriptors numbered beyond select's 1024 limit. Each
// case runs on a low and on a high descriptor.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "net/blocking_socket.h"
#include "net/shutdown_socket.h"
#include "tests/net/net_test_util.h"

namespace qlm::net {
namespace {

using qlm::test::Fd;

constexpr Timeout kLong{10000};

class BlockingSocketWakeupTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { CShutdownSocket::Instance().ResetForTest(); }
  void TearDown() override { CShutdownSocket::Instance().ResetForTest(); }

  // The descriptor as the case wants it: as it came, or moved above 1024.
  int Place(int fd) {
    if (!GetParam()) {
      return fd;
    }
    int high = qlm::test::MoveAbove(fd, 1500);
    EXPECT_GE(high, 1500);
    return high;
  }
  void Adopt(CBlockingSocket& socket, int fd) { socket.Attach(Place(fd)); }

  // Runs `body` on a thread of its own, waits until that thread sits in its
  // poll, then stops the engine and waits for the thread to end.
  template <typename F>
  void StopWhileBlocked(F body) {
    std::atomic<pid_t> tid{0};
    std::thread worker([&] {
      tid = qlm::test::CurrentThreadId();
      body();
    });
    EXPECT_TRUE(qlm::test::WaitUntilBlockedInPoll(tid));
    CShutdownSocket::Instance().Close();
    worker.join();
  }
};

TEST_P(BlockingSocketWakeupTest, StopEndsABlockedReceiveWithZero) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  CBlockingSocket socket;
  Adopt(socket, pair.a.Release());
  int result = -1;
  StopWhileBlocked([&] {
    char buffer[16];
    result = socket.Receive(buffer, sizeof(buffer), kLong);
  });
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(socket.WaitReadable(kLong));
}

TEST_P(BlockingSocketWakeupTest, StopEndsABlockedSendWithSocketClosed) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  ASSERT_GT(qlm::test::FillSendBuffer(pair.a.Get()), 0u);
  CBlockingSocket socket;
  Adopt(socket, pair.a.Release());
  std::string message;
  int error = -1;
  StopWhileBlocked([&] {
    try {
      socket.Send("more", 4, kLong);
    } catch (const CBlockingSocketException& e) {
      message = e.Message();
      error = e.ErrorCode();
    }
  });
  EXPECT_EQ(message, "CBlockingSocket::Send:Socket closed");
  EXPECT_EQ(error, 0);
}

TEST_P(BlockingSocketWakeupTest, StopEndsATimedAcceptWithApplicationShutdown) {
  CBlockingSocket listener;
  listener.Create();
  listener.Bind(MakeAddress("127.0.0.1", 0));
  listener.Listen(5);
  Adopt(listener, listener.Detach());
  std::string message;
  StopWhileBlocked([&] {
    CBlockingSocket target;
    try {
      listener.Accept(target, nullptr, kLong);
    } catch (const CBlockingSocketException& e) {
      message = e.Message();
    }
  });
  EXPECT_EQ(message, "CBlockingSocket::Accept:application shutdown");
}

TEST_P(BlockingSocketWakeupTest, StopEndsWaitReadableAndReceiveDatagram) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  CBlockingSocket stream;
  Adopt(stream, pair.a.Release());
  CBlockingSocket datagram;
  datagram.Create(kDatagram);
  datagram.Bind(MakeAddress("127.0.0.1", 0));
  Adopt(datagram, datagram.Detach());
  bool readable = true;
  int got = -1;
  StopWhileBlocked([&] {
    readable = stream.WaitReadable(kLong);
    char buffer[16];
    got = datagram.ReceiveDatagram(buffer, sizeof(buffer), nullptr, kLong);
  });
  EXPECT_FALSE(readable);
  EXPECT_EQ(got, 0);
  sockaddr_in to{};
  datagram.GetSockName(&to);
  try {
    datagram.SendDatagram("x", 1, to, kLong);
    ADD_FAILURE() << "SendDatagram after the stop";
  } catch (const CBlockingSocketException& e) {
    EXPECT_EQ(e.Message(), "CBlockingSocket::SendDatagram:socket closed ");
  }
}

TEST_P(BlockingSocketWakeupTest, WaitsWorkWithoutAStop) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  CBlockingSocket socket;
  Adopt(socket, pair.a.Release());
  EXPECT_TRUE(socket.IsWritable());
  EXPECT_FALSE(socket.WaitReadable(Timeout{0}));
  ASSERT_TRUE(qlm::test::WriteAll(pair.b.Get(), "ping"));
  char buffer[8] = {};
  EXPECT_EQ(socket.ReceiveExact(buffer, 4, kLong), 4);
  EXPECT_EQ(socket.SendAll("pong", 4, kLong), 4);
  EXPECT_EQ(qlm::test::ReadAll(pair.b.Get(), 4), "pong");

  CBlockingSocket listener;
  listener.Create();
  listener.Bind(MakeAddress("127.0.0.1", 0));
  listener.Listen(5);
  Adopt(listener, listener.Detach());
  sockaddr_in bound{};
  listener.GetSockName(&bound);
  CBlockingSocket client;
  client.Create();
  client.SetNonBlockingMode();
  Adopt(client, client.Detach());
  client.ConnectNonBlock(bound, kLong);
  client.SetBlockingMode();
  CBlockingSocket served;
  EXPECT_TRUE(listener.Accept(served, nullptr, kLong));
}

INSTANTIATE_TEST_SUITE_P(Descriptors, BlockingSocketWakeupTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("Above1024") : std::string("Low");
                         });

}  // namespace
}  // namespace qlm::net
