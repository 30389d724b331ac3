// The log file: line formats and cuts, opening and counting, the MaxLines cut
// back to the newest half, and cuts that fail without losing a line.
#include "engine/log_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "engine/config/log_settings.h"
#include "engine/engine_error_report.h"
#include "tests/engine/log_test_support.h"

namespace qlm::engine {
namespace {

using test::CTempDir;
using test::FileLines;

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

TEST(LogLineTest, ThreadAndNoThreadForms) {
  const std::time_t when = LocalTime(2026, 3, 7, 9, 5, 1);
  EXPECT_EQ(FormatLogLine(when, 0x4d2, " ", "HTTP x"), "03/07/2026 09:05:01 0x4d2       HTTP x");
  EXPECT_EQ(FormatLogLine(when, 0x4d2, "ERR", "bad"), "03/07/2026 09:05:01 0x4d2 ERR   bad");
  // No thread: "-", then three blanks before the kind.
  EXPECT_EQ(FormatLogLine(when, kNoThread, "ERR", "bad"), "03/07/2026 09:05:01 -   ERR   bad");
  EXPECT_EQ(FormatLogLine(when, kNoThread, " ", ""), "03/07/2026 09:05:01 -         ");
}

TEST(LogLineTest, TextIsCutAt200Characters) {
  const std::string text(300, 'a');
  const std::string line = FormatLogLine(std::time(nullptr), 0x10, " ", text);
  EXPECT_EQ(line.substr(line.size() - 201), " " + std::string(200, 'a'));
  EXPECT_LE(line.size(), kLogLineLimit);
}

TEST(LogFileNameTest, DefaultNameIsTheStartDate) {
  const std::time_t when = LocalTime(2026, 12, 8, 23, 59, 0);
  EXPECT_EQ(DefaultLogFileName("/opt/quillmar", when), "/opt/quillmar/12082026.log");
  EXPECT_EQ(DefaultLogFileName("", when), "12082026.log");
}

TEST(CLogFileTest, OpenCountsExistingLinesAndAppends) {
  CTempDir dir;
  const std::string name = dir.File("log.log");
  std::ofstream(name) << "one\ntwo\nthree\n";
  CLogFile log;
  ASSERT_TRUE(log.Open(name));
  EXPECT_TRUE(log.IsOpen());
  EXPECT_FALSE(log.Open(name));  // already open
  EXPECT_EQ(log.LineCount(), 3u);
  EXPECT_EQ(log.Append("four"), std::vector<std::string>{"four"});
  EXPECT_EQ(log.LineCount(), 4u);
  EXPECT_EQ(FileLines(name), (std::vector<std::string>{"one", "two", "three", "four"}));
  EXPECT_EQ(*log.ReadLines(), FileLines(name));
  log.Append("five");  // appending goes on after a read
  EXPECT_EQ(FileLines(name).back(), "five");
  log.Close();
  EXPECT_FALSE(log.IsOpen());
  EXPECT_TRUE(log.Append("six").empty());
  EXPECT_FALSE(log.ReadLines().has_value());
}

TEST(CLogFileTest, TornLastLineCountsAndIsClosedOff) {
  CTempDir dir;
  const std::string name = dir.File("log.log");
  std::ofstream(name) << "one\ntorn";
  CLogFile log;
  ASSERT_TRUE(log.Open(name));
  EXPECT_EQ(log.LineCount(), 2u);
  log.Append("next");
  EXPECT_EQ(FileLines(name), (std::vector<std::string>{"one", "torn", "next"}));
}

TEST(CLogFileTest, OpenFailureIsReportedWithItsCause) {
  CTempDir dir;
  std::vector<std::pair<std::string, std::string>> reports;
  SetEngineReportSinkForTest(
      [&](const std::string& kind, const std::string& text) { reports.emplace_back(kind, text); });
  CLogFile log;
  const std::string name = dir.File("missing/log.log");
  EXPECT_FALSE(log.Open(name));
  SetEngineReportSinkForTest(nullptr);
  EXPECT_FALSE(log.IsOpen());
  const std::string text = "Can not open Log file " + name + " because of error code 2";
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0], std::make_pair(std::string("error"), text));
  EXPECT_EQ(reports[1], std::make_pair(std::string("Quillmar Service Error Message"), text));
}

TEST(CLogFileTest, EleventhLineOfTenLeavesTheNewestFive) {
  CTempDir dir;
  const std::string name = dir.File("log.log");
  CLogFile log;
  log.SetMaxLines(10);
  ASSERT_TRUE(log.Open(name));
  for (int i = 1; i <= 10; ++i) {
    log.Append("line " + std::to_string(i));
  }
  EXPECT_EQ(log.LineCount(), 10u);
  log.Append("line 11");
  EXPECT_EQ(log.LineCount(), 5u);
  EXPECT_EQ(FileLines(name),
            (std::vector<std::string>{"line 7", "line 8", "line 9", "line 10", "line 11"}));
  EXPECT_FALSE(std::filesystem::exists(dir.File("log.lo$")));
  // The next cut comes at the next eleventh line.
  for (int i = 12; i <= 17; ++i) {
    log.Append("line " + std::to_string(i));
  }
  EXPECT_EQ(log.LineCount(), 5u);
  EXPECT_EQ(FileLines(name).front(), "line 13");
}

TEST(CLogFileTest, RestartWithMoreThanMaxLinesCutsOnFirstLine) {
  CTempDir dir;
  const std::string name = dir.File("log.log");
  {
    std::ofstream out(name);
    for (int i = 1; i <= 30; ++i) {
      out << "old " << i << "\n";
    }
  }
  CLogFile log;
  log.SetMaxLines(10);
  ASSERT_TRUE(log.Open(name));
  EXPECT_EQ(log.LineCount(), 30u);
  log.Append("new");
  EXPECT_EQ(FileLines(name), (std::vector<std::string>{"old 27", "old 28", "old 29", "old 30",
                                                       "new"}));
  EXPECT_EQ(log.LineCount(), 5u);
}

// A directory under the temporary name makes the rename fail: every line must
// stay in the log, with one ERR line, and the cut succeeds once it can.
TEST(CLogFileTest, FailedRenameKeepsEveryLine) {
  CTempDir dir;
  const std::string name = dir.File("log.log");
  std::filesystem::create_directory(dir.File("log.lo$"));
  std::ofstream(dir.File("log.lo$/keep")) << "x";
  CLogFile log;
  log.SetMaxLines(4);
  ASSERT_TRUE(log.Open(name));
  for (int i = 1; i <= 8; ++i) {
    log.Append("line " + std::to_string(i));
  }
  std::vector<std::string> lines = FileLines(name);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[4], "line 5");
  EXPECT_NE(lines[5].find(" ERR   Can not trim Log file " + name + " because of error code "),
            std::string::npos)
      << lines[5];
  EXPECT_EQ(lines[8], "line 8");
  EXPECT_EQ(log.LineCount(), 9u);

  std::filesystem::remove_all(dir.File("log.lo$"));
  log.Append("line 9");
  lines = FileLines(name);
  EXPECT_EQ(lines, (std::vector<std::string>{"line 8", "line 9"}));
  EXPECT_EQ(log.LineCount(), 2u);
}

TEST(CLogFileTest, FailedReopenRenamesTheOldFileBack) {
  CTempDir dir;
  const std::string name = dir.File("log.log");
  int opens = 0;
  bool fail = true;
  CLogFile log([&](const char* file, const char* mode) -> FILE* {
    if (++opens > 1 && fail) {
      errno = EMFILE;
      return nullptr;
    }
    return std::fopen(file, mode);
  });
  log.SetMaxLines(2);
  ASSERT_TRUE(log.Open(name));
  for (int i = 1; i <= 5; ++i) {
    log.Append("line " + std::to_string(i));
  }
  const std::vector<std::string> lines = FileLines(name);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "line 1");
  EXPECT_NE(lines[3].find("because of error code 24"), std::string::npos) << lines[3];
  EXPECT_EQ(lines[5], "line 5");
  EXPECT_FALSE(std::filesystem::exists(dir.File("log.lo$")));

  fail = false;
  log.Append("line 6");
  EXPECT_EQ(FileLines(name), (std::vector<std::string>{"line 6"}));
}

TEST(CLogFileTest, NameEndingInDollarIsNeverCutOntoItself) {
  CTempDir dir;
  const std::string name = dir.File("log$");
  CLogFile log;
  log.SetMaxLines(2);
  ASSERT_TRUE(log.Open(name));
  for (int i = 1; i <= 4; ++i) {
    log.Append("line " + std::to_string(i));
  }
  EXPECT_EQ(FileLines(name).size(), 5u);  // four lines and one ERR line
}

}  // namespace
}  // namespace qlm::engine

namespace qlm::engine {
namespace {

TEST(ReportEngineErrorTest, ErrorsRecordTheExitCodeOutsideDebugMode) {
  std::vector<std::pair<std::string, std::string>> reports;
  SetEngineReportSinkForTest(
      [&](const std::string& kind, const std::string& text) { reports.emplace_back(kind, text); });
  SetEngineDebugMode(true);
  ReportEngineError("ignored in debug mode", true, 5);
  EXPECT_NE(ServiceExitCode(), 5);
  SetEngineDebugMode(false);
  ReportEngineError("SetServiceStatus", true, 6);
  EXPECT_EQ(ServiceExitCode(), 6);
  ReportEngineError("information only", false, 7);
  EXPECT_EQ(ServiceExitCode(), 6);
  SetEngineReportSinkForTest(nullptr);
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[1], std::make_pair(std::string("error"), std::string("SetServiceStatus")));
  EXPECT_EQ(reports[2].first, "information");
}

}  // namespace
}  // namespace qlm::engine
