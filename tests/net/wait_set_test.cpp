// The poll wait under every socket operation: result order, the stop
// wake-up, dead handles, and descriptors beyond select's 1024.
#include "net/wait_set.h"

#include <gtest/gtest.h>

#include <vector>

#include "net/shutdown_socket.h"
#include "net/winsock_errors.h"
#include "tests/net/net_test_util.h"

namespace qlm::net {
namespace {

using qlm::test::Fd;

class WaitSetTest : public ::testing::Test {
 protected:
  void SetUp() override { CShutdownSocket::Instance().ResetForTest(); }
  void TearDown() override { CShutdownSocket::Instance().ResetForTest(); }
};

TEST_F(WaitSetTest, NothingReadyTimesOut) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  CWaitSet set;
  set.Add(pair.a.Get(), POLLIN);
  set.AddShutdown();
  EXPECT_EQ(set.Wait(Timeout{0}), CWaitSet::Result::kTimedOut);
  EXPECT_EQ(set.Wait(Timeout{30}), CWaitSet::Result::kTimedOut);
}

TEST_F(WaitSetTest, ReadyEntryIsReported) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  ASSERT_TRUE(qlm::test::WriteAll(pair.b.Get(), "x"));
  CWaitSet set;
  size_t own = set.Add(pair.a.Get(), POLLIN);
  set.AddShutdown();
  EXPECT_EQ(set.Wait(Timeout{5000}), CWaitSet::Result::kReady);
  EXPECT_TRUE(set.Ready(own, POLLIN));
  EXPECT_FALSE(set.Ready(own, POLLPRI));
  EXPECT_FALSE(set.Ready(7, POLLIN));
}

TEST_F(WaitSetTest, FlaggedShutdownWinsOverReadySocket) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  ASSERT_TRUE(qlm::test::WriteAll(pair.b.Get(), "x"));
  CShutdownSocket::Instance().Close();
  CShutdownSocket::Instance().Close();  // idempotent
  EXPECT_TRUE(CShutdownSocket::Instance().IsClosed());
  CWaitSet set;
  set.Add(pair.a.Get(), POLLIN);
  set.AddShutdown();
  EXPECT_EQ(set.Wait(Timeout{5000}), CWaitSet::Result::kShutdown);
  // ... and stays flagged for every later wait.
  EXPECT_EQ(set.Wait(kWaitForever), CWaitSet::Result::kShutdown);
}

TEST_F(WaitSetTest, WithoutTheShutdownEntryAStopIsNotSeen) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  CShutdownSocket::Instance().Close();
  CWaitSet set;
  set.Add(pair.a.Get(), POLLIN);
  EXPECT_EQ(set.Wait(Timeout{0}), CWaitSet::Result::kTimedOut);
}

TEST_F(WaitSetTest, ResetForTestClearsTheStop) {
  CShutdownSocket::Instance().Close();
  CShutdownSocket::Instance().ResetForTest();
  EXPECT_FALSE(CShutdownSocket::Instance().IsClosed());
  CWaitSet set;
  set.AddShutdown();
  EXPECT_EQ(set.Wait(Timeout{0}), CWaitSet::Result::kTimedOut);
}

TEST_F(WaitSetTest, ClosedHandleIsAFailedWait) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  int dead = pair.a.Release();
  close(dead);
  CWaitSet set;
  set.Add(dead, POLLIN);
  set.AddShutdown();
  EXPECT_EQ(set.Wait(Timeout{1000}), CWaitSet::Result::kError);
  EXPECT_EQ(set.Error(), WSAENOTSOCK);
}

TEST_F(WaitSetTest, PeerCloseCountsAsReadableAndWritable) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  pair.b.Reset();
  CWaitSet set;
  size_t own = set.Add(pair.a.Get(), POLLIN);
  ASSERT_EQ(set.Wait(Timeout{5000}), CWaitSet::Result::kReady);
  EXPECT_TRUE(set.Ready(own, POLLIN));
}

TEST_F(WaitSetTest, ClearEmptiesTheSet) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  CShutdownSocket::Instance().Close();
  CWaitSet set;
  set.AddShutdown();
  set.Clear();
  set.Add(pair.a.Get(), POLLIN);
  EXPECT_EQ(set.Wait(Timeout{0}), CWaitSet::Result::kTimedOut);
}

TEST_F(WaitSetTest, ManyEntriesBeyondTheInlineOnes) {
  std::vector<qlm::test::TcpPair> pairs;
  CWaitSet set;
  set.AddShutdown();
  for (int i = 0; i < 9; ++i) {
    pairs.push_back(qlm::test::MakeTcpPair());
    EXPECT_EQ(set.Add(pairs.back().a.Get(), POLLIN), static_cast<size_t>(i + 1));
  }
  EXPECT_EQ(set.Wait(Timeout{0}), CWaitSet::Result::kTimedOut);
  ASSERT_TRUE(qlm::test::WriteAll(pairs[7].b.Get(), "x"));
  ASSERT_EQ(set.Wait(Timeout{5000}), CWaitSet::Result::kReady);
  for (size_t i = 1; i <= 9; ++i) {
    EXPECT_EQ(set.Ready(i, POLLIN), i == 8) << i;
  }
  CShutdownSocket::Instance().Close();
  EXPECT_EQ(set.Wait(Timeout{5000}), CWaitSet::Result::kShutdown);
  set.Clear();
  set.Add(pairs[0].a.Get(), POLLIN);
  EXPECT_EQ(set.Wait(Timeout{0}), CWaitSet::Result::kTimedOut);
}

TEST_F(WaitSetTest, DescriptorAbove1024) {
  qlm::test::TcpPair pair = qlm::test::MakeTcpPair();
  Fd high(qlm::test::MoveAbove(pair.a.Release(), 1500));
  ASSERT_GE(high.Get(), 1500);
  CWaitSet set;
  size_t own = set.Add(high.Get(), POLLIN);
  set.AddShutdown();
  EXPECT_EQ(set.Wait(Timeout{0}), CWaitSet::Result::kTimedOut);
  ASSERT_TRUE(qlm::test::WriteAll(pair.b.Get(), "x"));
  EXPECT_EQ(set.Wait(Timeout{5000}), CWaitSet::Result::kReady);
  EXPECT_TRUE(set.Ready(own, POLLIN));
  CShutdownSocket::Instance().Close();
  EXPECT_EQ(set.Wait(Timeout{5000}), CWaitSet::Result::kShutdown);
}

}  // namespace
}  // namespace qlm::net
