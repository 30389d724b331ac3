// `qlmsvr -debug` shows its log lines on standard output, formatted as in the
// log file, also when the store has the log off: a new user sees what the
// engine does. A connection to a daemon the engine has no protocol for
// ("Newsgroups") gives the ERR line to look for.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/loopback.h"
#include "tests/support/wait_until.h"

namespace qlm::test {
namespace {

constexpr const char* kNeverText = "DaemonServerThreadProc:accept error never go here";

// The lines of `text` that contain `part`.
std::vector<std::string> LinesWith(const std::string& text, const std::string& part) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find(part) != std::string::npos) {
      lines.push_back(line);
    }
  }
  return lines;
}

TEST(EngineDebugEchoE2eTest, LogLinesAreShownWithTheLogOff) {
  EngineUnderTest engine("127.0.0.45");
  engine.SetLogging(false);
  const uint16_t port = engine.AddDaemon("Newsgroups");
  ASSERT_TRUE(engine.Start());
  const int fd = ConnectTcp(engine.Ip(), port);
  ASSERT_GE(fd, 0);
  ::close(fd);
  ASSERT_TRUE(WaitUntil([&] { return !LinesWith(engine.Process().Stdout(), kNeverText).empty(); }))
      << engine.Process().Stdout();
  const std::vector<std::string> lines = LinesWith(engine.Process().Stdout(), kNeverText);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(std::regex_match(
      lines[0], std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d 0x[0-9a-f]+ ERR   )" +
                           std::string(kNeverText))))
      << lines[0];
  EXPECT_EQ(engine.Process().Stdout().rfind("Debugging Quillmar Service.\n", 0), 0u);
  EXPECT_FALSE(std::filesystem::exists(engine.LogPath()));  // the log stays off
  EXPECT_EQ(engine.Stop(SIGINT), std::optional<int>(0));
}

TEST(EngineDebugEchoE2eTest, ShownLineIsTheLogFilesLine) {
  EngineUnderTest engine("127.0.0.46");
  const uint16_t port = engine.AddDaemon("Newsgroups");
  ASSERT_TRUE(engine.Start());
  const int fd = ConnectTcp(engine.Ip(), port);
  ASSERT_GE(fd, 0);
  ::close(fd);
  ASSERT_TRUE(engine.WaitForLog(kNeverText));
  ASSERT_TRUE(WaitUntil([&] { return !LinesWith(engine.Process().Stdout(), kNeverText).empty(); }));
  std::vector<std::string> in_file;
  for (const std::string& line : engine.LogLines()) {
    if (line.find(kNeverText) != std::string::npos) {
      in_file.push_back(line);
    }
  }
  EXPECT_EQ(LinesWith(engine.Process().Stdout(), kNeverText), in_file);
}

}  // namespace
}  // namespace qlm::test
