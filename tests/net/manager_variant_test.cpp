// The manager program's build of the socket class: its waits ignore the
// engine stop, and its texts and formats are its own.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "net/blocking_socket.h"
#include "net/qlm_socket_file.h"
#include "net/shutdown_socket.h"
#include "net/traffic_idle_flag.h"
#include "tests/net/net_test_util.h"

namespace qlm::net {
namespace {

using qlm::test::Fd;

static_assert(std::is_same_v<CBlockingSocket, manager_variant::CBlockingSocket>);

constexpr Timeout kLong{10000};

template <typename F>
CBlockingSocketException Thrown(F body) {
  try {
    body();
  } catch (const CBlockingSocketException& e) {
    return e;
  }
  ADD_FAILURE() << "no CBlockingSocketException";
  return CBlockingSocketException("none");
}

class ManagerVariantTest : public ::testing::Test {
 protected:
  void SetUp() override { CShutdownSocket::Instance().ResetForTest(); }
  void TearDown() override { CShutdownSocket::Instance().ResetForTest(); }
};

TEST_F(ManagerVariantTest, ExceptionFormatsShowNumbersOnly) {
  CBlockingSocketException both("CBlockingSocket::Receive Error", 10054, -10);
  EXPECT_EQ(both.GetErrorMessage(),
            "CBlockingSocket::Receive Error error #10054 and/or other error #-10");
  EXPECT_EQ(both.GetErrorText(), "CBlockingSocket::Receive Error error #10054");
  CBlockingSocketException refused("CBlockingSocket::Connect", 10061);
  EXPECT_EQ(refused.GetErrorMessage(),
            "CBlockingSocket::Connect error #10061 and/or other error #0");
  CBlockingSocketException timeout("CBlockingSocket::Send timeout", 0, -10);
  EXPECT_EQ(timeout.GetErrorMessage(), "CBlockingSocket::Send timeout error");
  EXPECT_EQ(timeout.GetErrorText(), "CBlockingSocket::Send timeout");
  EXPECT_EQ(refused.GetErrorMessage(12), "CBlockingSo");
}

TEST_F(ManagerVariantTest, WaitsIgnoreTheEngineStop) {
  CShutdownSocket::Instance().Close();
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  CBlockingSocket socket;
  socket.Attach(pair.a.Release());
  char buffer[8];
  EXPECT_EQ(Thrown([&] { socket.Receive(buffer, 8, Timeout{0}); }).Message(),
            "CBlockingSocket::Receive timeout");
  EXPECT_TRUE(socket.WaitReadable(Timeout{0}) == false);
  EXPECT_EQ(socket.SendAll("ok", 2, kLong), 2);
  EXPECT_EQ(qlm::test::ReadAll(pair.b.Get(), 2), "ok");
  ASSERT_TRUE(qlm::test::WriteAll(pair.b.Get(), "hi"));
  EXPECT_EQ(socket.ReceiveExact(buffer, 2, kLong), 2);

  CBlockingSocket listener;
  listener.Create();
  listener.Bind(MakeAddress("127.0.0.1", 0));
  listener.Listen(1);
  CBlockingSocket target;
  EXPECT_EQ(Thrown([&] { listener.Accept(target, nullptr, Timeout{20}); }).Message(),
            "CBlockingSocket::Accept time out");
}

TEST_F(ManagerVariantTest, SendFailureShowsTheFirst30BytesSent) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  linger hard{1, 0};
  setsockopt(pair.b.Get(), SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
  pair.b.Reset();
  CBlockingSocket socket;
  socket.Attach(pair.a.Release());
  ASSERT_TRUE(socket.WaitReadable(kLong));
  const std::string data = "0123456789abcdefghijklmnopqrstuvwxyz";
  CBlockingSocketException e = Thrown([&] {
    for (int i = 0; i < 10; ++i) {
      socket.Send(data.data(), static_cast<int>(data.size()), kLong);
    }
  });
  EXPECT_EQ(e.Message(), "CBlockingSocket::Send 0123456789abcdefghijklmnopqrst");
  EXPECT_EQ(e.ErrorCode(), 10054);
}

TEST_F(ManagerVariantTest, FileWriteKeepsThePlainText) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  linger hard{1, 0};
  setsockopt(pair.b.Get(), SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
  pair.b.Reset();
  CBlockingSocket socket;
  socket.Attach(pair.a.Release());
  ASSERT_TRUE(socket.WaitReadable(kLong));
  CQlmSocketFile file(&socket, false);
  CBlockingSocketException e = Thrown([&] {
    for (int i = 0; i < 10; ++i) {
      file.Write("abc", 3);
    }
  });
  EXPECT_EQ(e.Message(), "CBlockingSocket::Send ");
}

TEST_F(ManagerVariantTest, ConnectNonBlockTexts) {
  // Refused: the pending error must not pass for a made connection.
  CBlockingSocket refused;
  refused.Create();
  refused.SetNonBlockingMode();
  CBlockingSocketException e = Thrown([&] {
    refused.ConnectNonBlock(MakeAddress("127.0.0.1", qlm::test::FreeTcpPort()), kLong);
  });
  EXPECT_EQ(e.Message(), "CBlockingSocket::ConnectNonBlock::Connect");
  EXPECT_EQ(e.ErrorCode(), 10061);

  // A full backlog never answers: the manager's own time-out text.
  Fd listener(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address = MakeAddress("127.0.0.1", 0);
  ASSERT_EQ(bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(listen(listener.Get(), 0), 0);
  socklen_t length = sizeof(address);
  getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length);
  Fd filler(qlm::test::ConnectTcp("127.0.0.1", ntohs(address.sin_port)));
  CShutdownSocket::Instance().Close();  // and the engine stop is not in its wait
  CBlockingSocket hanging;
  hanging.Create();
  hanging.SetNonBlockingMode();
  e = Thrown([&] { hanging.ConnectNonBlock(address, Timeout{50}); });
  EXPECT_EQ(e.Message(), "CBlockingSocket::Connect time out");
}

TEST_F(ManagerVariantTest, ConnectOutwardWorks) {
  uint16_t port = 0;
  Fd listener(qlm::test::ListenTcp("127.0.0.1", &port));
  CBlockingSocket socket;
  socket.ConnectOutward(MakeAddress("127.0.0.1", port), kLong);
  EXPECT_TRUE(socket.IsWritable());
}

}  // namespace
}  // namespace qlm::net
