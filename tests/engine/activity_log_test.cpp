// WriteLog and ReportActivity without a manager: text cuts, the engine log,
// the activity identity strings, and the activity line's columns.
#include "engine/activity_log.h"

#include <gtest/gtest.h>

#include <regex>

#include "engine/listener_record.h"
#include "engine/log_file.h"
#include "engine/manager_channel.h"
#include "tests/engine/log_test_support.h"

namespace qlm::engine {
namespace {

using test::CRecordingSink;
using test::CTempDir;
using test::FileLines;

TEST(ActivityLineTest, ColumnsAndOptionalText) {
  EXPECT_EQ(ActivityLine("HTTP", "10.0.0.2", "pc2", "-", "example.test", 80),
            "HTTP      10.0.0.2         pc2              -                example.test              80    ");
  EXPECT_EQ(ActivityLine("SOCKS_CONNECT", "10.0.0.2", "pc2", "1.2.3.4", "-", 443, "GET / HTTP/1.0"),
            "SOCKS_CONNECT 10.0.0.2         pc2              1.2.3.4          -                         443    GET / HTTP/1.0");
}

class WriteLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogMaxLines(kDefaultMaxLines);
    ASSERT_TRUE(OpenLog(name_));
  }
  void TearDown() override { CloseLog(); }

  CTempDir dir_;
  std::string name_ = dir_.File("engine.log");
};

TEST_F(WriteLogTest, WritesTheFormattedLine) {
  WriteLog(0x1234, kKindRecord, "%s %d", "HTTP", 7);
  WriteLog(kNoThread, kKindError, "DaemonServerThreadProc:accept (#%d) %s", 10054,
           "Connection reset by peer");
  const std::vector<std::string> lines = FileLines(name_);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d 0x1234       HTTP 7)")))
      << lines[0];
  EXPECT_TRUE(std::regex_match(
      lines[1], std::regex(R"(.{19} -   ERR   DaemonServerThreadProc:accept \(#10054\) Connection reset by peer)")))
      << lines[1];
}

TEST_F(WriteLogTest, LongTextIsCutTwice) {
  CRecordingSink sink;
  WriteLog(ThisThread(), kKindRecord, "%s", std::string(300, 'x').c_str());
  ASSERT_EQ(sink.Logs().size(), 1u);
  EXPECT_EQ(sink.Logs()[0].text, std::string(254, 'x'));
  const std::string line = FileLines(name_).at(0);
  EXPECT_EQ(line.substr(line.size() - 201), " " + std::string(200, 'x'));
}

// A client-supplied text with line ends must not split the record or forge a
// second log line.
TEST_F(WriteLogTest, LineEndsInTheTextDoNotSplitTheLine) {
  WriteLog(0x10, kKindRecord, "%s", "host\r\n01/01/2026 00:00:00 0x1 ERR   forged");
  const std::vector<std::string> lines = FileLines(name_);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("host  01/01/2026"), std::string::npos);
  EXPECT_EQ(EngineLog().LineCount(), 1u);
}

TEST(WriteLogClosedTest, NothingIsWrittenAfterCloseLog) {
  CTempDir dir;
  ASSERT_TRUE(OpenLog(dir.File("engine.log")));
  CloseLog();
  ASSERT_FALSE(LogOpen());
  CRecordingSink sink;
  WriteLog(0x10, kKindRecord, "%s", "text");
  EXPECT_EQ(sink.Logs().size(), 1u);  // the sink sees every call
  EXPECT_TRUE(FileLines(dir.File("engine.log")).empty());
}

TEST(ReportActivityTest, IdentityStringsAndTextCut) {
  CRecordingSink sink;
  CListenerRecord listener;
  listener.address = "192.168.0.1";
  listener.name = "HTTP";
  listener.port = 8080;
  ConnectionContext context;
  context.Daemon = &listener;

  ReportActivity(context, 0x4d20, kRowMain, "%s", std::string(200, 'r').c_str());
  ReportActivity(context, kNoThread, "2", "%s", "udp");
  EndActivity(context, 0x4d20, kRowMain);
  const std::vector<test::ActivityCall> calls = sink.Activities();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].key, "192.168.0.1:HTTP:8080");
  EXPECT_EQ(calls[0].connection, "0x4d200");
  EXPECT_EQ(calls[0].text, std::string(127, 'r'));
  EXPECT_EQ(calls[1].connection, "2");
  EXPECT_EQ(calls[1].text, "udp");
  EXPECT_EQ(calls[2].connection, "0x4d200");
  EXPECT_FALSE(calls[2].text.has_value());
}

TEST(ReportActivityTest, NotWantedWithoutAManager) {
  SetActivityEnabled(true);
  EXPECT_FALSE(ManagerConnected());
  EXPECT_FALSE(ActivityWanted());
  SetActivityEnabled(false);
}

TEST(ThisThreadTest, IsTheKernelThreadId) {
  EXPECT_EQ(*ThisThread(), static_cast<long>(gettid()));
}

}  // namespace
}  // namespace qlm::engine
