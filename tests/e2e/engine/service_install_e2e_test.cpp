// `qlmsvr -install` writes the unit through the store library, which names
// InstallDir/qlmsvr: with no engine program in InstallDir it refuses, says
// which program is missing, and touches no service manager.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/e2e/support/engine_under_test.h"

namespace qlm::test {
namespace {

using namespace std::chrono_literals;

TEST(EngineServiceInstallE2eTest, InstallRefusesAnInstallDirWithoutTheEngine) {
  EngineUnderTest engine("127.0.0.47");
  ASSERT_TRUE(engine.WriteStore());  // InstallDir = the test's folder, no qlmsvr in it
  const RunResult run = qlm::test::Run({std::string(QLM_BIN_DIR) + "/qlmsvr", "-install"},
                            engine.Environment(), std::nullopt, 10s);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "Service Installation failed - " + engine.Folder() +
                         "/qlmsvr is not an executable program; InstallDir must name the "
                         "folder holding qlmsvr (set it with: qlmreg init FOLDER)\n");
}

}  // namespace
}  // namespace qlm::test
