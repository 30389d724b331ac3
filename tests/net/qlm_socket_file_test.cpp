// The manager link's file over a socket: whole reads, archive-style reads,
// writes and the closed cases.
#include "net/qlm_socket_file.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "net/shutdown_socket.h"
#include "net/traffic_idle_flag.h"
#include "tests/net/net_test_util.h"

namespace qlm::net {
namespace {

class QlmSocketFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CShutdownSocket::Instance().ResetForTest();
    pair_ = qlm::test::MakeTcpPair();
    socket_.Attach(pair_.a.Release());
  }
  void TearDown() override { CShutdownSocket::Instance().ResetForTest(); }

  qlm::test::TcpPair pair_;
  CBlockingSocket socket_;
};

TEST_F(QlmSocketFileTest, ReadInsistsOnTheWholeCount) {
  CQlmSocketFile file(&socket_, false);
  std::thread writer([&] {
    qlm::test::WriteAll(pair_.b.Get(), "abc");
    qlm::test::WriteAll(pair_.b.Get(), "defgh");
  });
  char buffer[8] = {};
  EXPECT_EQ(file.Read(buffer, 8), 8u);
  writer.join();
  EXPECT_EQ(std::string(buffer, 8), "abcdefgh");
  EXPECT_EQ(file.Read(buffer, 0), 0u);
}

TEST_F(QlmSocketFileTest, ReadThrowsWhenThePeerCloses) {
  CQlmSocketFile file(&socket_, false);
  qlm::test::WriteAll(pair_.b.Get(), "ab");
  pair_.b.Reset();
  char buffer[8];
  try {
    file.Read(buffer, 8);
    ADD_FAILURE() << "no exception";
  } catch (const CBlockingSocketException& e) {
    EXPECT_EQ(e.Message(), "CQlmSocketFile::Read:Socket closed");
  }
}

TEST_F(QlmSocketFileTest, ArchiveReadGivesWhatOneReceiveBrings) {
  CQlmSocketFile file(&socket_, true);
  qlm::test::WriteAll(pair_.b.Get(), "abc");
  char buffer[8] = {};
  EXPECT_EQ(file.Read(buffer, 8), 3u);
  pair_.b.Reset();
  EXPECT_EQ(file.Read(buffer, 8), 0u);
}

TEST_F(QlmSocketFileTest, WriteSendsAllWithoutTouchingTheTrafficFlag) {
  CQlmSocketFile file(&socket_, false);
  TrafficIdleFlag().store(1);
  std::string big(1 << 20, 'w');
  std::string got;
  std::thread reader([&] { got = qlm::test::ReadAll(pair_.b.Get(), big.size()); });
  file.Write(big.data(), big.size());
  reader.join();
  EXPECT_EQ(got.size(), big.size());
  EXPECT_EQ(TrafficIdleFlag().load(), 1u);
}

TEST_F(QlmSocketFileTest, ClosedFileOrSocketRefusesToWrite) {
  CQlmSocketFile file(&socket_, false);
  file.Close();
  EXPECT_TRUE(socket_.IsOpen());  // forgetting is not closing
  char byte = 0;
  try {
    file.Write("x", 1);
    ADD_FAILURE() << "no exception";
  } catch (const CBlockingSocketException& e) {
    EXPECT_EQ(e.Message(), "CBlockingSocket::Send:Socket closed");
  }
  EXPECT_THROW(file.Read(&byte, 1), CBlockingSocketException);
  CBlockingSocket none;
  CQlmSocketFile unopened(&none, false);
  try {
    unopened.Write("x", 1);
    ADD_FAILURE() << "no exception";
  } catch (const CBlockingSocketException& e) {
    EXPECT_EQ(e.Message(), "CBlockingSocket::Send:Socket closed");
  }
}

TEST_F(QlmSocketFileTest, WriteToAResetPeerUsesTheFileText) {
  linger hard{1, 0};
  setsockopt(pair_.b.Get(), SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
  pair_.b.Reset();
  ASSERT_TRUE(socket_.WaitReadable(Timeout{10000}));
  CQlmSocketFile file(&socket_, false);
  try {
    for (int i = 0; i < 10; ++i) {
      file.Write("x", 1);
    }
    ADD_FAILURE() << "no exception";
  } catch (const CBlockingSocketException& e) {
    EXPECT_EQ(e.Message(), "CBlockingSocket::Send ");
    EXPECT_EQ(e.ErrorCode(), 10054);
  }
}

}  // namespace
}  // namespace qlm::net
