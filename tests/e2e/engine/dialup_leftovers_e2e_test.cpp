// Dial passwords that older engines left in "qlm-pppd-*" files of the
// temporary folder are swept when the engine starts and when it stops.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>

#include "tests/e2e/support/engine_under_test.h"

namespace qlm::test {
namespace {

namespace fs = std::filesystem;

TEST(EngineDialUpLeftoversE2eTest, OptionsFilesAreSweptAtStartAndAtStop) {
  EngineUnderTest engine("127.0.0.44");
  const std::string temp = engine.Folder() + "/tmp";
  fs::create_directories(temp + "/qlm-pppd-Ef34Gh");
  std::ofstream(temp + "/qlm-pppd-Ab12Cd") << "user \"a\"\npassword \"secret\"\n";
  std::ofstream(temp + "/qlm-pppd-Ef34Gh/options") << "password \"secret\"\n";
  std::ofstream(temp + "/unrelated") << "kept\n";
  engine.SetEnvironment("TMPDIR", temp);
  ASSERT_TRUE(engine.Start());
  // Swept before the manager port opened, which Start awaited.
  EXPECT_FALSE(fs::exists(temp + "/qlm-pppd-Ab12Cd"));
  EXPECT_FALSE(fs::exists(temp + "/qlm-pppd-Ef34Gh"));
  EXPECT_TRUE(fs::exists(temp + "/unrelated"));

  std::ofstream(temp + "/qlm-pppd-Ij56Kl") << "password \"secret\"\n";
  EXPECT_EQ(engine.Stop(SIGTERM), std::optional<int>(0));
  EXPECT_FALSE(fs::exists(temp + "/qlm-pppd-Ij56Kl"));
  EXPECT_TRUE(fs::exists(temp + "/unrelated"));
}

}  // namespace
}  // namespace qlm::test
