// The -debug echo of log lines: the file's own line, with or without a file,
// and never a wait on an output nobody reads.
#include "engine/log_echo.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <regex>
#include <string>

#include "engine/activity_log.h"
#include "engine/log_file.h"
#include "tests/engine/log_test_support.h"

namespace qlm::engine {
namespace {

using namespace std::chrono_literals;
using test::CTempDir;
using test::FileLines;

// The echo goes into a pipe the test reads.
class LogEchoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::pipe2(fds_, O_CLOEXEC), 0);
    ::fcntl(fds_[0], F_SETFL, O_NONBLOCK);
    SetLogEcho(fds_[1]);
  }
  void TearDown() override {
    SetLogEcho(-1);
    CloseLog();
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  // Everything echoed so far.
  std::string Echoed() {
    std::string text;
    char chunk[4096];
    for (ssize_t n; (n = ::read(fds_[0], chunk, sizeof chunk)) > 0;) {
      text.append(chunk, static_cast<size_t>(n));
    }
    return text;
  }

  int fds_[2] = {-1, -1};
};

TEST_F(LogEchoTest, WithoutALogFileLinesAreStillShown) {
  ASSERT_FALSE(EngineLog().IsOpen());
  EXPECT_TRUE(LogOpen());  // lines are worth building: someone sees them
  WriteLog(0x2a, kKindError, "ClientThreadProc:%s", "Invalid request");
  const std::string echoed = Echoed();
  EXPECT_TRUE(std::regex_match(
      echoed, std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d 0x2a ERR   ClientThreadProc:Invalid request\n)")))
      << echoed;
}

TEST_F(LogEchoTest, EchoIsTheFilesLine) {
  CTempDir dir;
  const std::string name = dir.File("engine.log");
  SetLogMaxLines(kDefaultMaxLines);
  ASSERT_TRUE(OpenLog(name));
  WriteLog(ThisThread(), kKindRecord, "%s", "HTTP line");
  WriteLog(kNoThread, kKindError, "%s", "second\nline");
  const std::vector<std::string> lines = FileLines(name);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Echoed(), lines[0] + "\n" + lines[1] + "\n");
}

TEST_F(LogEchoTest, OffMeansNothingIsShown) {
  SetLogEcho(-1);
  EXPECT_FALSE(LogEchoOn());
  EXPECT_FALSE(LogOpen());
  WriteLog(0x2a, kKindError, "%s", "not shown");
  EXPECT_EQ(Echoed(), "");
}

// An output nobody reads (a test harness, a paused pager) must not stop the
// threads that log: lines that do not fit are left out and counted.
TEST_F(LogEchoTest, UnreadOutputNeverHoldsUpTheLog) {
  ASSERT_GT(::fcntl(fds_[1], F_SETPIPE_SZ, 16384), 0);
  constexpr int kLines = 600;  // about 40 KB, more than twice the pipe
  auto writer = std::async(std::launch::async, [] {
    for (int i = 0; i < kLines; ++i) {
      WriteLog(0x2a, kKindRecord, "line %03d %s", i, std::string(40, 'x').c_str());
    }
  });
  const bool done = writer.wait_for(10s) == std::future_status::ready;
  std::string shown = Echoed();  // frees the writer should it be stuck
  ASSERT_TRUE(done) << "WriteLog waited for the output";
  writer.get();
  const size_t shown_lines = static_cast<size_t>(std::count(shown.begin(), shown.end(), '\n'));
  EXPECT_GT(shown_lines, 0u);
  EXPECT_LT(shown_lines, static_cast<size_t>(kLines));
  EXPECT_NE(shown.find("line 000 "), std::string::npos);  // the first ones went through

  WriteLog(0x2a, kKindRecord, "after");
  const std::string next = Echoed();
  const std::string notice = "(" + std::to_string(kLines - shown_lines) +
                             " log lines not shown: standard output was not being read)\n";
  ASSERT_EQ(next.substr(0, notice.size()), notice) << next;
  EXPECT_NE(next.find(" after\n", notice.size()), std::string::npos) << next;
}

}  // namespace
}  // namespace qlm::engine
