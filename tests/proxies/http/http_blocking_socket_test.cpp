// Line reading over a real socket: pieces, time-out, the other socket, the
// peer's close and reset, the engine's stop.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "net/shutdown_socket.h"
#include "proxies/http/http_blocking_socket.h"
#include "proxies/http/http_wire.h"

namespace qlm::http {
namespace {

using std::chrono::milliseconds;

class CHttpBlockingSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    socket_.Attach(fds[0]);
    peer_ = fds[1];
  }
  void TearDown() override {
    if (peer_ >= 0) close(peer_);
    net::CShutdownSocket::Instance().ResetForTest();
  }
  void Write(const std::string& bytes) { ASSERT_EQ(write(peer_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

  CHttpBlockingSocket socket_;
  int peer_ = -1;
};

TEST_F(CHttpBlockingSocketTest, LineArrivingInPiecesIsOneLine) {
  std::thread writer([this] {
    for (char c : std::string("GET / HTTP/1.0\r\n")) {
      Write(std::string(1, c));
    }
  });
  std::string line;
  EXPECT_EQ(socket_.ReadBufferedLine(&line, 512, nullptr, milliseconds(3000)), LineRead);
  writer.join();
  EXPECT_EQ(line, "GET / HTTP/1.0\r\n");
}

TEST_F(CHttpBlockingSocketTest, SilenceTimesOutAndConsumesNothing) {
  Write("partial");
  std::string line;
  EXPECT_EQ(socket_.ReadBufferedLine(&line, 512, nullptr, milliseconds(50)), LineTimedOut);
  EXPECT_TRUE(line.empty());
  Write(" line\n");
  EXPECT_EQ(socket_.ReadBufferedLine(&line, 512, nullptr, milliseconds(3000)), LineRead);
  EXPECT_EQ(line, "partial line\n");
}

TEST_F(CHttpBlockingSocketTest, OtherSocketEndsTheWait) {
  int other_fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, other_fds), 0);
  net::CBlockingSocket other;
  other.Attach(other_fds[0]);
  ASSERT_EQ(write(other_fds[1], "x", 1), 1);
  std::string line;
  EXPECT_EQ(socket_.ReadBufferedLine(&line, 512, &other, milliseconds(3000)), LineOtherSocketReady);
  close(other_fds[1]);
}

TEST_F(CHttpBlockingSocketTest, PeerCloseClosesTheSocket) {
  Write("no line end");
  close(peer_);
  peer_ = -1;
  std::string line;
  EXPECT_EQ(socket_.ReadBufferedLine(&line, 512, nullptr, milliseconds(3000)), LineClosed);
  EXPECT_FALSE(socket_.IsOpen());
  EXPECT_EQ(socket_.ReadBufferedLine(&line, 512, nullptr, milliseconds(3000)), LineClosed);
}

TEST_F(CHttpBlockingSocketTest, EngineStopEndsTheWait) {
  net::CShutdownSocket::Instance().Close();
  std::string line;
  EXPECT_EQ(socket_.ReadBufferedLine(&line, 512, nullptr, milliseconds(3000)), LineClosed);
  EXPECT_FALSE(socket_.IsOpen());
}

TEST_F(CHttpBlockingSocketTest, HeadAndBufferedBodyBytes) {
  Write("\r\nHTTP/1.1 200 OK\r\nA: b\r\n\r\nbody");
  std::string head;
  size_t used = 0;
  EXPECT_EQ(socket_.ReadHeaderBlock(&head, &used, nullptr, milliseconds(3000)), LineRead);
  EXPECT_EQ(head, "HTTP/1.1 200 OK\r\nA: b\r\n\r\n");
  EXPECT_EQ(std::string(socket_.Buffer().Data(), socket_.Buffer().Count()), "body");
}

TEST_F(CHttpBlockingSocketTest, LineWithoutLfPast32768Bytes) {
  std::thread writer([this] { Write(std::string(40000, 'a')); });
  std::string line;
  EXPECT_EQ(socket_.ReadBufferedLine(&line, kHeadBlockLimit, nullptr, milliseconds(3000)),
            LineBufferLimit);
  writer.join();
}

}  // namespace
}  // namespace qlm::http
