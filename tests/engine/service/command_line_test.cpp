// The engine's command-line words.
#include "engine/service/command_line.h"

#include <gtest/gtest.h>

namespace qlm::engine {
namespace {

TEST(CommandLineTest, WordsAfterDashOrSlashInAnyCase) {
  EXPECT_EQ(ParseCommandLine({"-install"}), EngineCommand::kInstall);
  EXPECT_EQ(ParseCommandLine({"/INSTALL"}), EngineCommand::kInstall);
  EXPECT_EQ(ParseCommandLine({"-InStAlL"}), EngineCommand::kInstall);
  EXPECT_EQ(ParseCommandLine({"/remove"}), EngineCommand::kRemove);
  EXPECT_EQ(ParseCommandLine({"-Debug"}), EngineCommand::kDebug);
  EXPECT_EQ(ParseCommandLine({"/win32"}), EngineCommand::kWin32);
  EXPECT_EQ(ParseCommandLine({"-WIN32", "ignored"}), EngineCommand::kWin32);
}

TEST(CommandLineTest, AnythingElseRunsTheService) {
  EXPECT_EQ(ParseCommandLine({}), EngineCommand::kService);
  EXPECT_EQ(ParseCommandLine({""}), EngineCommand::kService);
  EXPECT_EQ(ParseCommandLine({"debug"}), EngineCommand::kService);  // no switch character
  EXPECT_EQ(ParseCommandLine({"-"}), EngineCommand::kService);
  EXPECT_EQ(ParseCommandLine({"-start"}), EngineCommand::kService);
  EXPECT_EQ(ParseCommandLine({"--debug"}), EngineCommand::kService);
  EXPECT_EQ(ParseCommandLine({"-debugger"}), EngineCommand::kService);
  EXPECT_EQ(ParseCommandLine({"\\debug"}), EngineCommand::kService);
}

}  // namespace
}  // namespace qlm::engine
