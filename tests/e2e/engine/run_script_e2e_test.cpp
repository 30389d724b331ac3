// `make run` (scripts/run.sh) as a new user meets it: the default store it
// creates names the build's bin folder as InstallDir and has the log on, the
// log file lands in that folder, the engine shows its log and runs there; an
// old store whose InstallDir holds no engine is put right, and says so.
//
// The build is the real one, reached through a bin folder of links in the
// test's own folder (so the log file lands there), and the engine runs in a
// network namespace of the test's own: an empty store opens the basic
// daemons on the host's first address, here the namespace's loopback.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>

#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/child_process.h"
#include "tests/support/wait_until.h"

namespace qlm::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

bool Sh(const std::string& command) {
  const RunResult r = Run({"sh", "-c", command}, {}, std::nullopt, 10s);
  if (r.code != 0) {
    ADD_FAILURE() << command << ": " << r.out << r.err;
  }
  return r.code == 0;
}

class RunScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qlm-run-XXXXXX";
    folder_ = ::mkdtemp(pattern);
    bin_ = folder_ + "/build/bin";
    fs::create_directories(bin_);
    for (const char* program : {"qlmsvr", "qlmreg"}) {
      fs::create_symlink(std::string(QLM_BIN_DIR) + "/" + program, bin_ + "/" + program);
    }
    store_ = folder_ + "/store/quillmar.db";
    namespace_ = "qlm-run-" + std::to_string(::getpid() % 100000);
    ASSERT_TRUE(Sh("ip netns add " + namespace_));
    ASSERT_TRUE(Sh("ip netns exec " + namespace_ + " ip link set lo up"));
  }
  void TearDown() override {
    if (run_ && run_->Running()) {
      run_->Signal(SIGKILL);
      run_->Wait(5s);
    }
    run_.reset();
    Sh("ip netns del " + namespace_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  std::map<std::string, std::string> Environment() const {
    return {{"QUILLMAR_STORE", store_}, {"QUILLMAR_RUNDIR", folder_ + "/run"}};
  }
  RunResult Reg(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {bin_ + "/qlmreg"};
    argv.insert(argv.end(), args.begin(), args.end());
    return qlm::test::Run(argv, Environment(), std::nullopt, 10s);
  }
  // Starts `make run`'s script and waits until the engine serves SOCKS on the
  // namespace's loopback (read from the engine's own /proc tables: the
  // script ends in exec, so the child is the engine).
  bool StartRun() {
    run_ = std::make_unique<CChildProcess>(
        std::vector<std::string>{"ip", "netns", "exec", namespace_, "bash",
                                 std::string(QLM_SOURCE_DIR) + "/scripts/run.sh",
                                 folder_ + "/build"},
        Environment());
    const bool serving = WaitUntil([&] {
      return !run_->Running() || IsListening("127.0.0.1", 1080, false, run_->Pid());
    });
    if (!serving || !run_->Running()) {
      ADD_FAILURE() << "the engine does not serve; output:\n"
                    << run_->Stdout() << "\nerrors:\n" << run_->Stderr();
      return false;
    }
    return true;
  }
  std::optional<int> StopRun() {
    run_->Signal(SIGINT);
    return run_->Wait(10s);
  }

  std::string folder_;
  std::string bin_;
  std::string store_;
  std::string namespace_;
  std::unique_ptr<CChildProcess> run_;
};

std::string TodaysLogName() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char name[32];
  std::strftime(name, sizeof name, "%m%d%Y.log", &local);
  return name;
}

TEST_F(RunScriptTest, DefaultStoreNamesTheBinFolderAndLogs) {
  const std::string log_name = TodaysLogName();
  ASSERT_TRUE(StartRun());
  EXPECT_NE(run_->Stdout().find("run: creating a default store at " + store_), std::string::npos)
      << run_->Stdout();
  EXPECT_NE(run_->Stdout().find("Debugging Quillmar Service.\n"), std::string::npos);
  EXPECT_EQ(Reg({"get", "", "InstallDir"}).out, bin_ + "\n");
  EXPECT_EQ(Reg({"get", "Log", "Enable"}).out, "1\n");
  // The default log file: InstallDir/MMDDYYYY.log, opened at start.
  EXPECT_TRUE(fs::exists(bin_ + "/" + log_name) || fs::exists(bin_ + "/" + TodaysLogName()));
  // The engine runs in the bin folder, never in the source tree.
  EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(run_->Pid()) + "/cwd").string(), bin_);
  EXPECT_EQ(StopRun(), std::optional<int>(0));
  EXPECT_NE(run_->Stdout().find("Stopping Quillmar Service.\n"), std::string::npos);
}

TEST_F(RunScriptTest, InstallDirWithoutTheEngineIsPutRight) {
  ASSERT_EQ(Reg({"init", folder_ + "/gone"}).code, 0);
  ASSERT_TRUE(StartRun());
  EXPECT_NE(run_->Stdout().find("run: InstallDir of " + store_ + " was '" + folder_ +
                                "/gone', which holds no qlmsvr; setting it to " + bin_),
            std::string::npos)
      << run_->Stdout();
  EXPECT_EQ(run_->Stdout().find("creating a default store"), std::string::npos);
  EXPECT_EQ(Reg({"get", "", "InstallDir"}).out, bin_ + "\n");
  EXPECT_EQ(StopRun(), std::optional<int>(0));
}

TEST_F(RunScriptTest, StoreWithTheEngineInItsInstallDirIsLeftAlone) {
  ASSERT_EQ(Reg({"init", QLM_BIN_DIR}).code, 0);
  ASSERT_TRUE(StartRun());
  EXPECT_EQ(run_->Stdout().find("InstallDir of"), std::string::npos) << run_->Stdout();
  EXPECT_EQ(Reg({"get", "", "InstallDir"}).out, std::string(QLM_BIN_DIR) + "\n");
  EXPECT_EQ(StopRun(), std::optional<int>(0));
}

}  // namespace
}  // namespace qlm::test
