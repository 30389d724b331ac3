// The start-up pieces without a window: the named locks, the command-line
// words and the trace file.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "manager/instance_lock.h"
#include "manager/manager_app.h"
#include "manager/manager_command_line.h"
#include "manager/manager_trace.h"
#include "tests/support/temp_dir.h"

namespace qlm::manager {
namespace {

TEST(InstanceLockTest, ASecondHolderIsRefusedUntilTheFirstEnds) {
  test::CTempDir dir;
  const std::string run = dir.Path() + "/run/deeper";
  auto first = std::make_unique<CInstanceLock>();
  EXPECT_EQ(first->Acquire(run, kManagerInstanceLockName), CInstanceLock::Result::kFirst);
  CInstanceLock second;
  EXPECT_EQ(second.Acquire(run, kManagerInstanceLockName), CInstanceLock::Result::kAlreadyRunning);
  EXPECT_TRUE(IsInstanceLockHeld(run, kManagerInstanceLockName));
  first.reset();
  EXPECT_FALSE(IsInstanceLockHeld(run, kManagerInstanceLockName));
  EXPECT_EQ(second.Acquire(run, kManagerInstanceLockName), CInstanceLock::Result::kFirst);
}

TEST(InstanceLockTest, AMissingEngineLockIsNotHeldAndNotCreated) {
  test::CTempDir dir;
  EXPECT_FALSE(IsInstanceLockHeld(dir.Path(), kEngineInstanceLockName));
  std::ifstream file(dir.Path() + "/" + kEngineInstanceLockName);
  EXPECT_FALSE(file.good());
}

TEST(InstanceLockTest, TheSecondManagerGetsTheSingleInstanceText) {
  test::CTempDir dir;
  CInstanceLock first;
  std::vector<std::string> errors;
  auto error = [&](const std::string& text) { errors.push_back(text); };
  EXPECT_TRUE(AcquireManagerInstance(&first, dir.Path(), error));
  CInstanceLock second;
  EXPECT_FALSE(AcquireManagerInstance(&second, dir.Path(), error));
  EXPECT_EQ(errors, std::vector<std::string>{"You have Quillmar Manager started already"});
}

TEST(ManagerCommandLineTest, DebugAndTraceWithDashOrSlashInAnyCase) {
  EXPECT_TRUE(ParseManagerCommandLine({"-debug"}).debug);
  EXPECT_TRUE(ParseManagerCommandLine({"/DEBUG"}).debug);
  EXPECT_TRUE(ParseManagerCommandLine({"-Trace"}).trace);
  EXPECT_TRUE(ParseManagerCommandLine({"/trace"}).TraceWanted());
  EXPECT_FALSE(ParseManagerCommandLine({"trace", "-tracer", "-"}).TraceWanted());
  EXPECT_FALSE(ParseManagerCommandLine({}).TraceWanted());
}

TEST(ManagerTraceTest, LinesCarryTheTimeAndAtMost99Characters) {
  test::CTempDir dir;
  const std::string path = dir.Path() + "/event.log";
  ASSERT_TRUE(CManagerTrace::Instance().Open(path));
  Trace("Connected to the engine");
  TraceError(std::string(150, 'e'));
  CManagerTrace::Instance().Close();
  Trace("after the close: not written");
  std::ifstream in(path);
  std::string first, second, third;
  std::getline(in, first);
  std::getline(in, second);
  EXPECT_FALSE(std::getline(in, third));
  EXPECT_TRUE(std::regex_match(first, std::regex(".+\\d\\d:\\d\\d:\\d\\d.* {5}Connected to the engine")))
      << first;
  EXPECT_TRUE(std::regex_match(second, std::regex(".+ ERR e{99}"))) << second;
}

}  // namespace
}  // namespace qlm::manager
