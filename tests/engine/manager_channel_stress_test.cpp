// Many proxy threads logging and reporting activity while managers connect and
// go away: every line reaches the file whole and once, and every message a
// manager receives is one whole line or record, never torn or mixed.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <regex>
#include <set>
#include <thread>

#include "engine/activity_log.h"
#include "engine/listener_record.h"
#include "engine/log_file.h"
#include "engine/manager_channel.h"
#include "link/msg_wire.h"
#include "net/shutdown_socket.h"
#include "tests/engine/log_test_support.h"
#include "tests/engine/manager_test_client.h"
#include "tests/support/wait_until.h"

namespace qlm::engine {
namespace {

using qlm::test::WaitUntil;

constexpr int kWriters = 6;
// Writers go on until the managers are done (so the two always overlap),
// at least kMinLines and at most kMaxLines lines each.
constexpr int kMinLines = 100;
constexpr int kMaxLines = 3000;
constexpr int kManagerSessions = 8;

TEST(ManagerChannelStressTest, NoLineLostTornOrMixed) {
  std::signal(SIGPIPE, SIG_IGN);
  net::CShutdownSocket::Instance().ResetForTest();
  test::CTempDir dir;
  const std::string name = dir.File("stress.log");
  SetLogMaxLines(100000);
  ASSERT_TRUE(OpenLog(name));
  SetActivityEnabled(true);
  SetManagerChannelHooks({});

  net::CBlockingSocket listener;
  listener.Create(net::kStream);
  listener.Bind(net::MakeAddress("127.0.0.1", 0));
  listener.Listen(link::kManagerListenBacklog);
  sockaddr_in bound{};
  listener.GetSockName(&bound);
  std::thread server([&] { ManagerServerThreadProc(&listener); });

  CListenerRecord record;
  record.address = "127.0.0.1";
  record.name = "HTTP";
  record.port = 8080;
  std::atomic<bool> managers_done{false};
  std::atomic<int> lines_written{0};
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      ConnectionContext context;
      context.Daemon = &record;
      const std::string pad(120, static_cast<char>('a' + w));
      for (int i = 0; i < kMaxLines && (i < kMinLines || !managers_done); ++i) {
        WriteLog(ThisThread(), kKindRecord, "w%d-%d %s", w, i, pad.c_str());
        ReportActivity(context, ThisThread(), kRowMain, "w%d-%d %s", w, i, pad.c_str());
        ++lines_written;
      }
    });
  }

  std::vector<std::string> lines_seen;
  std::vector<link::CActivityMsg> activity_seen;
  int contents_seen = 0;
  for (int session = 0; session < kManagerSessions; ++session) {
    test::CTestManager manager(ntohs(bound.sin_port), 2000);
    manager.Send(link::MSG_GET_DAEMON_LIST);
    const bool wants_content = session % 2 == 1;
    if (wants_content) {
      manager.Send(link::MSG_GET_LOG);
    }
    const int contents_before = contents_seen;
    // 60 messages, and in the sessions that asked for it, up to the log.
    for (int n = 0; n < 20000 && (n < 60 || (wants_content && contents_seen == contents_before));
         ++n) {
      std::optional<link::CMsg> msg = manager.Receive();
      if (!msg) {
        break;
      }
      if (msg->type == link::MSG_LOG_LINE) {
        lines_seen.push_back(msg->text);
      } else if (msg->type == link::MSG_LOG_CONTENT) {
        lines_seen.insert(lines_seen.end(), msg->lines.begin(), msg->lines.end());
        ++contents_seen;
      } else if (msg->type == link::MSG_ACTIVITY) {
        activity_seen.push_back(msg->activity);
      }
    }
  }  // each manager leaves abruptly, often in the middle of a message
  managers_done = true;
  for (std::thread& t : writers) {
    t.join();
  }
  net::CShutdownSocket::Instance().Close();
  server.join();
  EXPECT_TRUE(WaitUntil([] { return ManagerClientThreadsRunning() == 0; }));
  net::CShutdownSocket::Instance().ResetForTest();
  SetActivityEnabled(false);
  CloseLog();
  SetLogMaxLines(kDefaultMaxLines);

  const std::regex line_form(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d 0x[0-9a-f]+       w(\d)-(\d+) ([a-f])+)");
  const std::vector<std::string> file = test::FileLines(name);
  ASSERT_EQ(file.size(), static_cast<size_t>(lines_written.load()));
  std::set<std::string> ids;
  for (const std::string& line : file) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, line_form)) << line;
    EXPECT_EQ(line.substr(line.size() - 120), std::string(120, static_cast<char>('a' + std::stoi(m[1]))));
    ids.insert(m[1].str() + "-" + m[2].str());
  }
  EXPECT_EQ(ids.size(), file.size());

  const std::set<std::string> file_set(file.begin(), file.end());
  for (const std::string& line : lines_seen) {
    EXPECT_EQ(file_set.count(line), 1u) << line;
  }
  const std::regex activity_form(R"(w(\d)-(\d+) ([a-f]+))");
  for (const link::CActivityMsg& activity : activity_seen) {
    EXPECT_EQ(activity.key, "127.0.0.1:HTTP:8080");
    EXPECT_TRUE(std::regex_match(activity.connection, std::regex("0x[0-9a-f]+0")));
    std::smatch m;
    ASSERT_TRUE(std::regex_match(activity.text, m, activity_form)) << activity.text;
    const std::string full = "w" + m[1].str() + "-" + m[2].str() + " " +
                             std::string(120, static_cast<char>('a' + std::stoi(m[1])));
    EXPECT_EQ(activity.text, full.substr(0, kActivityTextLimit));
  }
  EXPECT_FALSE(lines_seen.empty());
  EXPECT_FALSE(activity_seen.empty());
  EXPECT_EQ(contents_seen, kManagerSessions / 2);
}

}  // namespace
}  // namespace qlm::engine
