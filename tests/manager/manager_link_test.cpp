// ManagerLink against a stand-in engine on loopback: the first requests,
// every message type the engine sends (whole and cut at every offset), the
// manager's own messages, a peer that closes or sends garbage, reconnection,
// and the receiver's stop.
#include "manager/manager_link.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include "link/msg_wire.h"
#include "manager/activity_model.h"
#include "manager/log_model.h"
#include "manager/log_store.h"
#include "manager/manager_texts.h"
#include "tests/manager/fake_engine.h"

namespace qlm::manager {
namespace {

using test::CFakeEngine;
using test::MsgBytes;
using test::PumpUntil;

// MSG_GET_DAEMON_LIST then MSG_GET_LOG.
const std::string kFirstRequests("\x03\x00\x00\x00\x05\x00\x00\x00", 8);

link::CMsg DaemonList(std::vector<std::string> keys) {
  link::CMsg msg(link::MSG_DAEMON_LIST);
  msg.lines = std::move(keys);
  return msg;
}

link::CMsg Activity(const std::string& key, const std::string& connection, const std::string& text) {
  link::CMsg msg(link::MSG_ACTIVITY);
  msg.activity = {key, connection, text};
  return msg;
}

link::CMsg LogLine(const std::string& text) {
  link::CMsg msg(link::MSG_LOG_LINE);
  msg.text = text;
  return msg;
}

class ManagerLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureCoreApplication();
    MakeLink(net::CQlmSocketFile::kDefaultTimeout);
  }

  void MakeLink(net::Timeout io_timeout) {
    link_.reset();
    ManagerLinkOptions options;
    options.default_ip = [] { return std::string("127.0.0.1"); };
    options.port = engine_.Port();
    options.io_timeout = io_timeout;
    options.show_error = [this](const std::string& text) { errors_.push_back(text); };
    link_ = std::make_unique<ManagerLink>(std::move(options), &log_store_);
    QObject::connect(link_.get(), &ManagerLink::DaemonListReceived,
                     [this](const std::vector<std::string>& keys) {
                       on_window_thread_ = on_window_thread_ &&
                                           QThread::currentThread() == qApp->thread();
                       activity_.SetDaemonKeys(keys);
                       activity_.Rebuild();
                       ++daemon_lists_;
                     });
    QObject::connect(link_.get(), &ManagerLink::ActivityReceived,
                     [this](const link::CActivityMsg& activity) {
                       on_window_thread_ = on_window_thread_ &&
                                           QThread::currentThread() == qApp->thread();
                       activity_.AddActivity(activity);
                       ++activities_;
                     });
    QObject::connect(link_.get(), &ManagerLink::IdleHangupWarning, [this] { ++warnings_; });
    QObject::connect(link_.get(), &ManagerLink::EngineLost, [this] {
      activity_.ClearKeys();
      activity_.Rebuild();
      ++lost_;
    });
    QObject::connect(link_.get(), &ManagerLink::ConnectedChanged,
                     [this](bool connected) { connected ? ++ups_ : ++downs_; });
  }

  // Connects and reads the first requests.
  void ConnectLink() {
    link_->Connect();
    ASSERT_TRUE(engine_.Accept());
    EXPECT_EQ(engine_.Read(8), kFirstRequests);
    ASSERT_TRUE(PumpUntil([this] { return link_->IsConnected(); }));
  }

  CFakeEngine engine_;
  CLogStore log_store_;
  CLogModel log_model_{&log_store_};
  CActivityModel activity_;
  std::unique_ptr<ManagerLink> link_;
  std::vector<std::string> errors_;
  int daemon_lists_ = 0, activities_ = 0, warnings_ = 0, lost_ = 0, ups_ = 0, downs_ = 0;
  bool on_window_thread_ = true;
};

TEST_F(ManagerLinkTest, ConnectAsksForTheDaemonListThenTheLog) {
  ConnectLink();
  EXPECT_EQ(ups_, 1);
  EXPECT_TRUE(errors_.empty());
}

TEST_F(ManagerLinkTest, ConnectWhileConnectedDoesNothing) {
  ConnectLink();
  link_->Connect();
  link_->Connect();
  PumpUntil([] { return false; }, std::chrono::milliseconds(100));
  EXPECT_FALSE(engine_.Pending());
  EXPECT_TRUE(link_->IsConnected());
}

TEST_F(ManagerLinkTest, NoEngineIsSilentAndTheNextConnectFindsIt) {
  CFakeEngine later;
  const uint16_t port = later.Port();
  later.StopListening();  // nothing listens on that port now
  ManagerLinkOptions options;
  options.default_ip = [] { return std::string("127.0.0.1"); };
  options.port = port;
  options.show_error = [this](const std::string& text) { errors_.push_back(text); };
  ManagerLink link(std::move(options), &log_store_);
  link.Connect();
  ASSERT_TRUE(PumpUntil([&] { return !link.IsConnecting(); }));
  EXPECT_FALSE(link.IsConnected());
  EXPECT_TRUE(errors_.empty());
}

TEST_F(ManagerLinkTest, WithoutADefaultIpNoConnectIsMade) {
  ManagerLinkOptions options;
  options.default_ip = [] { return std::string(); };
  options.port = engine_.Port();
  options.show_error = [this](const std::string& text) { errors_.push_back(text); };
  ManagerLink link(std::move(options), &log_store_);
  link.Connect();
  EXPECT_FALSE(link.IsConnecting());
  EXPECT_FALSE(link.IsConnected());
  EXPECT_TRUE(errors_.empty());
}

TEST_F(ManagerLinkTest, EveryEngineMessageReachesItsPlace) {
  ConnectLink();
  std::string stream = MsgBytes(DaemonList({"127.0.0.1:SOCKS:1080", "127.0.0.1:HTTP:8080"}));
  stream += MsgBytes(Activity("127.0.0.1:SOCKS:1080", "0x1a0", "Connect to host"));
  link::CMsg content(link::MSG_LOG_CONTENT);
  content.lines = {"12/08/2026 10:00:00 0x1 ERR first", "12/08/2026 10:00:01 0x1 ERR second"};
  stream += MsgBytes(content);
  stream += MsgBytes(LogLine("12/08/2026 10:00:02 0x1 ERR third"));
  stream += MsgBytes(link::CMsg(link::MSG_IDLE_HANGUP_WARNING));
  stream += std::string("\x2a\x00\x00\x00", 4);  // unknown type 42: no payload, ignored
  stream += MsgBytes(link::CMsg(link::MSG_KEEP_CONNECTION));  // manager's own type: ignored
  ASSERT_TRUE(engine_.Send(stream));
  ASSERT_TRUE(PumpUntil([this] { return warnings_ == 1; }));
  EXPECT_EQ(daemon_lists_, 1);
  EXPECT_EQ(activities_, 1);
  EXPECT_TRUE(on_window_thread_);
  EXPECT_EQ(activity_.Dump(),
            "Proxy Connections\n"
            "  127.0.0.1\n"
            "    HTTP\n"
            "      Port 8080\n"
            "    SOCKS\n"
            "      Port 1080\n"
            "        Connect to host\n");
  log_model_.RefreshLog();
  ASSERT_EQ(log_model_.RowCount(), 3u);
  EXPECT_EQ(log_model_.RowLine(0), "12/08/2026 10:00:02 0x1 ERR third");
  EXPECT_EQ(log_model_.RowLine(2), "12/08/2026 10:00:00 0x1 ERR first");
}

TEST_F(ManagerLinkTest, MessagesCutAtEveryOffsetAreReadWhole) {
  ConnectLink();
  std::string stream = MsgBytes(DaemonList({"127.0.0.1:SOCKS:1080"}));
  stream += MsgBytes(Activity("127.0.0.1:SOCKS:1080", "0x10", "Relaying"));
  stream += MsgBytes(Activity("127.0.0.1:SOCKS:1080", "0x10", ""));
  stream += MsgBytes(LogLine(std::string(300, 'x')));  // the 0xFF length form
  stream += MsgBytes(link::CMsg(link::MSG_IDLE_HANGUP_WARNING));
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    ASSERT_TRUE(engine_.Send(stream.substr(0, cut)));
    ASSERT_TRUE(engine_.Send(stream.substr(cut)));
    ASSERT_TRUE(PumpUntil([&] { return warnings_ == static_cast<int>(cut + 1); }))
        << "cut at " << cut;
    EXPECT_EQ(daemon_lists_, static_cast<int>(cut + 1));
    EXPECT_EQ(activities_, static_cast<int>(2 * (cut + 1)));
  }
  log_model_.RefreshLog();
  EXPECT_EQ(log_model_.RowCount(), stream.size() + 1);
  EXPECT_EQ(log_model_.RowLine(0), std::string(300, 'x'));
  EXPECT_TRUE(link_->IsConnected());
  EXPECT_EQ(lost_, 0);
}

TEST_F(ManagerLinkTest, MessagesSentOneByteAtATimeAreReadWhole) {
  ConnectLink();
  link::CMsg content(link::MSG_LOG_CONTENT);
  content.lines = {"a", std::string(260, 'b'), ""};
  std::string stream = MsgBytes(content) + MsgBytes(DaemonList({"127.0.0.1:HTTP:80"}));
  stream += MsgBytes(link::CMsg(link::MSG_IDLE_HANGUP_WARNING));
  for (char byte : stream) {
    ASSERT_TRUE(engine_.Send(std::string(1, byte)));
  }
  ASSERT_TRUE(PumpUntil([this] { return warnings_ == 1; }));
  EXPECT_EQ(daemon_lists_, 1);
  log_model_.RefreshLog();
  ASSERT_EQ(log_model_.RowCount(), 3u);
  EXPECT_EQ(log_model_.RowLine(1), std::string(260, 'b'));
}

TEST_F(ManagerLinkTest, ManagerMessagesHaveTheirBytes) {
  ConnectLink();
  EXPECT_TRUE(link_->SendMsg(link::CMsg(link::MSG_KEEP_CONNECTION)));
  EXPECT_EQ(engine_.Read(4), std::string("\x09\x00\x00\x00", 4));
  link_->SendStop();
  EXPECT_EQ(engine_.Read(4), std::string("\x01\x00\x00\x00", 4));
  EXPECT_TRUE(errors_.empty());
}

TEST_F(ManagerLinkTest, SendWithoutChannelIsFalseAndStopIsSilent) {
  EXPECT_FALSE(link_->SendMsg(link::CMsg(link::MSG_KEEP_CONNECTION)));
  link_->SendStop();
  EXPECT_TRUE(errors_.empty());
}

TEST_F(ManagerLinkTest, EngineClosingEmptiesTheTreeAndTheNextConnectReturns) {
  ConnectLink();
  ASSERT_TRUE(engine_.Send(MsgBytes(DaemonList({"127.0.0.1:SOCKS:1080"}))));
  ASSERT_TRUE(PumpUntil([this] { return daemon_lists_ == 1; }));
  engine_.Drop();
  ASSERT_TRUE(PumpUntil([this] { return !link_->IsConnected(); }));
  EXPECT_EQ(lost_, 1);
  EXPECT_EQ(downs_, 1);
  EXPECT_EQ(activity_.Dump(), "Proxy Connections\n");
  // The heartbeat's next Connect finds the engine again.
  ConnectLink();
  EXPECT_EQ(ups_, 2);
}

TEST_F(ManagerLinkTest, GarbageThatEndsTheStreamEndsTheChannel) {
  ConnectLink();
  // A daemon list announcing 0xFFFFFFFF keys, two of them, then the end.
  ASSERT_TRUE(engine_.Send(std::string("\x02\x00\x00\x00\xff\xff\xff\xff\xff\xff\x01" "a\x01" "b", 15)));
  engine_.Drop(true);
  ASSERT_TRUE(PumpUntil([this] { return !link_->IsConnected(); }));
  EXPECT_EQ(daemon_lists_, 0);
  EXPECT_EQ(lost_, 1);
}

TEST_F(ManagerLinkTest, AMessageLeftIncompleteEndsTheChannelAfterTheReadTimeOut) {
  MakeLink(std::chrono::milliseconds(200));
  ConnectLink();
  ASSERT_TRUE(engine_.Send(std::string("\x07\x00\x00\x00\x05" "ab", 7)));  // 3 bytes short
  ASSERT_TRUE(PumpUntil([this] { return !link_->IsConnected(); }));
  EXPECT_EQ(lost_, 1);
  EXPECT_TRUE(engine_.PeerClosed());
}

TEST_F(ManagerLinkTest, StoppingTheReceiverLeavesTheTreeAsItWas) {
  ConnectLink();
  ASSERT_TRUE(engine_.Send(MsgBytes(DaemonList({"127.0.0.1:SOCKS:1080"}))));
  ASSERT_TRUE(PumpUntil([this] { return daemon_lists_ == 1; }));
  link_->StopReceiver();
  link_->Close();
  PumpUntil([] { return false; }, std::chrono::milliseconds(100));
  EXPECT_EQ(lost_, 0);
  EXPECT_EQ(downs_, 1);
  EXPECT_FALSE(link_->IsConnected());
  EXPECT_NE(activity_.Dump(), "Proxy Connections\n");
  EXPECT_TRUE(engine_.PeerClosed());
}

TEST_F(ManagerLinkTest, WhatAnEndedConnectionPostedIsDropped) {
  ConnectLink();
  ASSERT_TRUE(engine_.Send(MsgBytes(DaemonList({"127.0.0.1:SOCKS:1080"}))));
  // Closed before anything posted is handled: nothing may reach the window.
  link_->Close();
  PumpUntil([] { return false; }, std::chrono::milliseconds(100));
  EXPECT_EQ(daemon_lists_, 0);
}

}  // namespace
}  // namespace qlm::manager
