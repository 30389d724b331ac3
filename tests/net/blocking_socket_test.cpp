// The socket class on real loopback sockets: creating, connecting, sending,
// receiving, datagrams, options and names, with the exact failure texts.
#include "net/blocking_socket.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <sys/ioctl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "net/shutdown_socket.h"
#include "net/traffic_idle_flag.h"
#include "net/winsock_errors.h"
#include "tests/net/net_test_util.h"

namespace qlm::net {
namespace {

using qlm::test::Fd;
using std::chrono::milliseconds;

constexpr Timeout kLong{10000};

class BlockingSocketTest : public ::testing::Test {
 protected:
  void SetUp() override { CShutdownSocket::Instance().ResetForTest(); }
  void TearDown() override { CShutdownSocket::Instance().ResetForTest(); }
};

size_t OpenDescriptors() {
  size_t count = 0;
  DIR* dir = opendir("/proc/self/fd");
  while (dir != nullptr && readdir(dir) != nullptr) {
    ++count;
  }
  if (dir != nullptr) {
    closedir(dir);
  }
  return count;
}

// Runs `body` and returns the text of the CBlockingSocketException it throws.
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

TEST_F(BlockingSocketTest, CreateTwiceThrowsWithoutOpeningASecondSocket) {
  CBlockingSocket socket;
  EXPECT_FALSE(socket.IsOpen());
  socket.Create();
  const int first = socket.Handle();
  const size_t open_before = OpenDescriptors();
  CBlockingSocketException e = Thrown([&] { socket.Create(kDatagram); });
  EXPECT_EQ(e.Message(), "CBlockingSocket::Create:Not null m_hSocket");
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(socket.Handle(), first);
  EXPECT_EQ(OpenDescriptors(), open_before);
}

TEST_F(BlockingSocketTest, CloseIsRepeatableAndDestructorCloses) {
  size_t before = OpenDescriptors();
  {
    CBlockingSocket socket;
    socket.Create();
    EXPECT_EQ(OpenDescriptors(), before + 1);
  }
  EXPECT_EQ(OpenDescriptors(), before);
  CBlockingSocket socket;
  socket.Create();
  socket.Close();
  socket.Close();
  EXPECT_EQ(socket.Handle(), -1);
}

TEST_F(BlockingSocketTest, BindListenAcceptConnectAndNames) {
  CBlockingSocket listener;
  listener.Create();
  listener.SetReuseAddr();
  listener.Bind(MakeAddress("127.0.0.1", 0));
  listener.Listen(5);
  sockaddr_in bound{};
  listener.GetSockName(&bound);
  ASSERT_NE(bound.sin_port, 0);

  CBlockingSocket client;
  client.Create();
  client.Connect(bound);
  CBlockingSocket served;
  sockaddr_in from{};
  ASSERT_TRUE(listener.Accept(served, &from, kLong));
  EXPECT_EQ(DottedAddress(from.sin_addr), "127.0.0.1");
  sockaddr_in peer{};
  client.GetPeerName(&peer);
  EXPECT_EQ(peer.sin_port, bound.sin_port);

  CBlockingSocket second;
  second.Create();
  second.Connect(bound);
  CBlockingSocket served2;
  EXPECT_TRUE(listener.Accept(served2, nullptr));
  EXPECT_TRUE(served2.IsOpen());
}

TEST_F(BlockingSocketTest, BindToAnAddressInUseThrows) {
  CBlockingSocket first;
  first.Create();
  first.Bind(MakeAddress("127.0.0.1", 0));
  first.Listen(1);
  sockaddr_in taken{};
  first.GetSockName(&taken);
  CBlockingSocket second;
  second.Create();
  CBlockingSocketException e = Thrown([&] { second.Bind(taken); });
  EXPECT_EQ(e.Message(), "CBlockingSocket::Bind");
  EXPECT_EQ(e.ErrorCode(), WSAEADDRINUSE);
}

TEST_F(BlockingSocketTest, FailuresWithoutAHandleNameTheirOperation) {
  CBlockingSocket none;
  sockaddr_in address = MakeAddress("127.0.0.1", 1);
  EXPECT_EQ(Thrown([&] { none.Listen(1); }).Message(), "CBlockingSocket::Listen");
  EXPECT_EQ(Thrown([&] { none.Connect(address); }).Message(), "CBlockingSocket::Connect");
  EXPECT_EQ(Thrown([&] { none.GetPeerName(&address); }).Message(),
            "CBlockingSocket::GetPeerName");
  EXPECT_EQ(Thrown([&] { none.GetSockName(&address); }).Message(),
            "CBlockingSocket::GetSockName");
  EXPECT_EQ(Thrown([&] { none.SetNonBlockingMode(); }).Message(),
            "CBlockingSocket::SetNonBlockingMode");
  EXPECT_EQ(Thrown([&] { none.SetBlockingMode(); }).Message(),
            "CBlockingSocket::SetBlockingMode");
  EXPECT_EQ(Thrown([&] { none.SetOutOfBadDisable(); }).Message(), "SetOutOfBadDisable");
  EXPECT_EQ(Thrown([&] { none.SetLingerOn(30); }).Message(), "CBlockingSocket::SetLingerOn");
  EXPECT_EQ(Thrown([&] { none.SetReuseAddr(); }).Message(), "CBlockingSocket::SetReuseAddr");
  CBlockingSocketException e = Thrown([&] { none.SetBroadcastOn(); });
  EXPECT_EQ(e.Message(), "CBlockingSocket::SetBroadcastOn");
  EXPECT_EQ(e.ErrorCode(), WSAENOTSOCK);
  EXPECT_FALSE(none.IsWritable());
  EXPECT_FALSE(none.WaitReadable(Timeout{0}));
  char byte = 0;
  EXPECT_EQ(none.Receive(&byte, 1, Timeout{0}), 0);  // a failed wait reads as the end
  EXPECT_EQ(Thrown([&] { none.Send("x", 1, Timeout{0}); }).Message(),
            "CBlockingSocket::Send:Socket closed");
  none.DrainInput();
}

TEST_F(BlockingSocketTest, AcceptOnAClosedListenerReturnsFalse) {
  CBlockingSocket listener;
  CBlockingSocket target;
  EXPECT_FALSE(listener.Accept(target, nullptr));
  EXPECT_FALSE(target.IsOpen());
}

TEST_F(BlockingSocketTest, AcceptTimesOut) {
  CBlockingSocket listener;
  listener.Create();
  listener.Bind(MakeAddress("127.0.0.1", 0));
  listener.Listen(1);
  CBlockingSocket target;
  CBlockingSocketException e = Thrown([&] { listener.Accept(target, nullptr, Timeout{0}); });
  EXPECT_EQ(e.Message(), "CBlockingSocket::Accept time out");
  CBlockingSocket none;
  EXPECT_EQ(Thrown([&] { none.Accept(target, nullptr, Timeout{0}); }).Message(),
            "CBlockingSocket::Accept:Error");
  CBlockingSocket plain;  // a socket that is not listening: accept itself fails
  plain.Create();
  EXPECT_EQ(Thrown([&] { plain.Accept(target, nullptr); }).Message(), "CBlockingSocket::Accept");
}

TEST_F(BlockingSocketTest, ReceiveWithZeroTimeOutAndNoDataThrowsTimeout) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  CBlockingSocket socket;
  socket.Attach(pair.a.Release());
  char buffer[8];
  CBlockingSocketException e = Thrown([&] { socket.Receive(buffer, 8, Timeout{0}); });
  EXPECT_EQ(e.Message(), "CBlockingSocket::Receive timeout");
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(e.OtherErrorCode(), kOtherTimeout);
  EXPECT_EQ(e.GetErrorMessage(), "CBlockingSocket::Receive timeout error");
}

TEST_F(BlockingSocketTest, ReceiveDeadlineBoundsEveryWaitUntilCleared) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  CBlockingSocket socket;
  socket.Attach(pair.a.Release());
  char buffer[8];
  EXPECT_EQ(socket.WithinReceiveDeadline(kLong), kLong);
  // A deadline already past: waiting bytes are still taken, an empty socket
  // fails at once as on a time-out, however long the wait asked for.
  socket.SetReceiveDeadline(Timeout{0});
  EXPECT_TRUE(socket.HasReceiveDeadline());
  EXPECT_EQ(socket.WithinReceiveDeadline(kLong), Timeout{0});
  EXPECT_EQ(socket.WithinReceiveDeadline(kWaitForever), Timeout{0});
  ASSERT_TRUE(qlm::test::WriteAll(pair.b.Get(), "ab"));
  EXPECT_EQ(socket.ReceiveExact(buffer, 2, kLong), 2);
  CBlockingSocketException e = Thrown([&] { socket.Receive(buffer, 8, kLong); });
  EXPECT_EQ(e.Message(), "CBlockingSocket::Receive timeout");
  EXPECT_EQ(e.OtherErrorCode(), kOtherTimeout);
  // Cleared: the wait's own time-out again.
  socket.ClearReceiveDeadline();
  EXPECT_FALSE(socket.HasReceiveDeadline());
  ASSERT_TRUE(qlm::test::WriteAll(pair.b.Get(), "c"));
  EXPECT_EQ(socket.Receive(buffer, 8, kLong), 1);
  // A deadline ahead cuts a longer wait down to what is left of it.
  socket.SetReceiveDeadline(std::chrono::seconds(5));
  EXPECT_LE(socket.WithinReceiveDeadline(kLong), std::chrono::seconds(5));
  EXPECT_EQ(socket.WithinReceiveDeadline(Timeout{10}), Timeout{10});
}

TEST_F(BlockingSocketTest, SendAndReceiveMoveBytesAndOnlySendClearsTheTrafficFlag) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  CBlockingSocket a;
  CBlockingSocket b;
  a.Attach(pair.a.Release());
  b.Attach(pair.b.Release());
  TrafficIdleFlag().store(1);
  EXPECT_EQ(a.SendAll("hello", 5, kLong), 5);
  EXPECT_EQ(TrafficIdleFlag().load(), 0u);
  TrafficIdleFlag().store(1);
  char buffer[16] = {};
  EXPECT_EQ(b.ReceiveExact(buffer, 5, kLong), 5);
  EXPECT_EQ(std::string(buffer, 5), "hello");
  EXPECT_EQ(TrafficIdleFlag().load(), 1u);
  EXPECT_EQ(a.SendAll("", 0, kLong), 0);
  EXPECT_EQ(b.ReceiveExact(buffer, 0, Timeout{0}), 0);
}

TEST_F(BlockingSocketTest, SendAllDeliversMoreThanTheSocketBuffersHold) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  CBlockingSocket a;
  a.Attach(pair.a.Release());
  std::string big(4 << 20, 'q');
  for (size_t i = 0; i < big.size(); i += 997) {
    big[i] = static_cast<char>('a' + i % 26);
  }
  std::string got;
  std::thread reader([&] { got = qlm::test::ReadAll(pair.b.Get(), big.size() + 1); });
  EXPECT_EQ(a.SendAll(big.data(), static_cast<int>(big.size()), kLong),
            static_cast<int>(big.size()));
  a.Close();
  reader.join();
  EXPECT_TRUE(got == big);
}

TEST_F(BlockingSocketTest, PeerCloseEndsReceiveAndFailsReceiveExact) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  CBlockingSocket socket;
  socket.Attach(pair.a.Release());
  ASSERT_TRUE(qlm::test::WriteAll(pair.b.Get(), "abc"));
  pair.b.Reset();
  char buffer[8];
  CBlockingSocketException e = Thrown([&] { socket.ReceiveExact(buffer, 5, kLong); });
  EXPECT_EQ(e.Message(), "ReceiveExact:Receive time out or closed");
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(e.OtherErrorCode(), kOtherExactFailed);
  EXPECT_EQ(socket.Receive(buffer, 8, kLong), 0);
}

TEST_F(BlockingSocketTest, SendTimesOutOnAFullBuffer) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  ASSERT_GT(qlm::test::FillSendBuffer(pair.a.Get()), 0u);
  CBlockingSocket socket;
  socket.Attach(pair.a.Release());
  EXPECT_FALSE(socket.IsWritable());
  CBlockingSocketException e = Thrown([&] { socket.Send("x", 1, Timeout{50}); });
  EXPECT_EQ(e.Message(), "CBlockingSocket::Send timeout");
  EXPECT_EQ(e.OtherErrorCode(), kOtherTimeout);
  EXPECT_EQ(e.GetErrorMessage(), "CBlockingSocket::Send timeout error");
}

TEST_F(BlockingSocketTest, SendToAResetPeerFails) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  linger hard{1, 0};
  setsockopt(pair.b.Get(), SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
  pair.b.Reset();
  CBlockingSocket socket;
  socket.Attach(pair.a.Release());
  ASSERT_TRUE(socket.WaitReadable(kLong));
  CBlockingSocketException e = Thrown([&] {
    for (int i = 0; i < 10; ++i) {
      socket.Send("x", 1, kLong);
    }
  });
  EXPECT_EQ(e.Message(), "CBlockingSocket::Sending");
  EXPECT_EQ(e.ErrorCode(), WSAECONNRESET);
}

TEST_F(BlockingSocketTest, ConnectNonBlockToAClosedPortReportsTheSocketError) {
  CBlockingSocket socket;
  socket.Create();
  socket.SetNonBlockingMode();
  sockaddr_in nobody = MakeAddress("127.0.0.1", qlm::test::FreeTcpPort());
  CBlockingSocketException e = Thrown([&] { socket.ConnectNonBlock(nobody, kLong); });
  EXPECT_EQ(e.Message(), "CBlockingSocket::ConnectNonBlock:socket error 10061");
  EXPECT_EQ(e.ErrorCode(), WSAECONNREFUSED);
}

TEST_F(BlockingSocketTest, ConnectNonBlockTimesOutWhenTheBacklogIsFull) {
  Fd listener(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address = MakeAddress("127.0.0.1", 0);
  ASSERT_EQ(bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(listen(listener.Get(), 0), 0);
  socklen_t length = sizeof(address);
  getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length);
  Fd filler(qlm::test::ConnectTcp("127.0.0.1", ntohs(address.sin_port)));
  CBlockingSocket socket;
  socket.Create();
  socket.SetNonBlockingMode();
  CBlockingSocketException e = Thrown([&] { socket.ConnectNonBlock(address, Timeout{50}); });
  EXPECT_EQ(e.Message(), "CBlockingSocket::ConnectNonBlock:time out");

  CShutdownSocket::Instance().Close();
  CBlockingSocket stopped;
  stopped.Create();
  stopped.SetNonBlockingMode();
  e = Thrown([&] { stopped.ConnectNonBlock(address, kLong); });
  EXPECT_EQ(e.Message(), "CBlockingSocket::ConnectNonBlock:socket closed");
}

TEST_F(BlockingSocketTest, ConnectNonBlockWithABadAddressFailsAtOnce) {
  CBlockingSocket socket;
  socket.Create();
  socket.SetNonBlockingMode();
  sockaddr_in bad = MakeAddress("127.0.0.1", 80);
  bad.sin_family = AF_UNIX;
  CBlockingSocketException e = Thrown([&] { socket.ConnectNonBlock(bad, kLong); });
  EXPECT_EQ(e.Message(), "CBlockingSocket::ConnectNonBlock::Connect");
  EXPECT_NE(e.ErrorCode(), 0);
}

TEST_F(BlockingSocketTest, ConnectOutwardGivesABlockingLingeringSocket) {
  uint16_t port = 0;
  Fd listener(qlm::test::ListenTcp("127.0.0.1", &port));
  CBlockingSocket socket;
  socket.ConnectOutward(MakeAddress("127.0.0.1", port), kLong);
  int flags = fcntl(socket.Handle(), F_GETFL);
  EXPECT_EQ(flags & O_NONBLOCK, 0);
  linger value{};
  socklen_t length = sizeof(value);
  getsockopt(socket.Handle(), SOL_SOCKET, SO_LINGER, &value, &length);
  EXPECT_EQ(value.l_onoff, 1);
  EXPECT_EQ(value.l_linger, 30);
  int inline_urgent = 0;
  length = sizeof(inline_urgent);
  getsockopt(socket.Handle(), SOL_SOCKET, SO_OOBINLINE, &inline_urgent, &length);
  EXPECT_EQ(inline_urgent, 1);
}

TEST_F(BlockingSocketTest, DatagramsGoBothWaysAndAnEmptyWaitReturnsZero) {
  CBlockingSocket a;
  CBlockingSocket b;
  a.Create(kDatagram);
  b.Create(kDatagram);
  a.Bind(MakeAddress("127.0.0.1", 0));
  b.Bind(MakeAddress("127.0.0.1", 0));
  b.SetBroadcastOn();
  sockaddr_in to{};
  b.GetSockName(&to);
  char buffer[64];
  sockaddr_in from{};
  EXPECT_EQ(b.ReceiveDatagram(buffer, sizeof(buffer), &from, Timeout{0}), 0);
  TrafficIdleFlag().store(1);
  EXPECT_EQ(a.SendDatagram("ping", 4, to, kLong), 4);
  EXPECT_EQ(TrafficIdleFlag().load(), 0u);
  EXPECT_EQ(b.ReceiveDatagram(buffer, sizeof(buffer), &from, kLong), 4);
  EXPECT_EQ(std::string(buffer, 4), "ping");
  sockaddr_in a_name{};
  a.GetSockName(&a_name);
  EXPECT_EQ(from.sin_port, a_name.sin_port);
  EXPECT_EQ(b.ReceiveDatagram(buffer, sizeof(buffer), nullptr, Timeout{0}), 0);
}

TEST_F(BlockingSocketTest, SendDatagramFailureNamesItself) {
  CBlockingSocket a;
  a.Create(kDatagram);
  sockaddr_in to = MakeAddress("127.0.0.1", 9);
  to.sin_family = AF_UNIX;
  CBlockingSocketException e = Thrown([&] { a.SendDatagram("x", 1, to, kLong); });
  EXPECT_EQ(e.Message(), "CBlockingSocket::SendDatagram");
  EXPECT_NE(e.ErrorCode(), 0);
}

TEST_F(BlockingSocketTest, DrainInputDiscardsWhatIsPending) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  CBlockingSocket socket;
  socket.Attach(pair.a.Release());
  ASSERT_TRUE(qlm::test::WriteAll(pair.b.Get(), std::string(5000, 'z')));
  ASSERT_TRUE(socket.WaitReadable(kLong));
  ASSERT_TRUE(qlm::test::WaitUntil([&] {
    int pending = 0;
    ioctl(socket.Handle(), FIONREAD, &pending);
    return pending == 5000;
  }));
  socket.DrainInput();
  EXPECT_FALSE(socket.WaitReadable(Timeout{0}));
  ASSERT_TRUE(qlm::test::WriteAll(pair.b.Get(), "k"));
  char byte = 0;
  EXPECT_EQ(socket.Receive(&byte, 1, kLong), 1);
  EXPECT_EQ(byte, 'k');
}

TEST_F(BlockingSocketTest, AttachAndDetachHandOverTheDescriptor) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  CBlockingSocket socket;
  const int fd = pair.a.Release();
  socket.Attach(fd);
  EXPECT_TRUE(socket.IsWritable());
  EXPECT_EQ(socket.Detach(), fd);
  EXPECT_FALSE(socket.IsOpen());
  Fd owner(fd);
}

TEST_F(BlockingSocketTest, AddressHelpers) {
  sockaddr_in address = MakeAddress("127.1.2.3", 8080);
  EXPECT_EQ(address.sin_family, AF_INET);
  EXPECT_EQ(ntohs(address.sin_port), 8080);
  EXPECT_EQ(DottedAddress(address.sin_addr), "127.1.2.3");
  EXPECT_EQ(MakeAddress("not dotted", 1).sin_addr.s_addr, INADDR_NONE);
}

}  // namespace
}  // namespace qlm::net
