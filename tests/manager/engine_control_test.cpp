// Engine control with the service functions, the process start, the lock and
// the waits behind fakes: both platform ways, ApplyAndRestart's question and
// waits, and every message text.
#include "manager/engine_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <deque>

namespace qlm::manager {
namespace {

using std::chrono::milliseconds;

class EngineControlTest : public ::testing::Test {
 protected:
  EngineControlSeams Seams() {
    EngineControlSeams s;
    s.service.is_running = [this] {
      calls_.push_back("is_running");
      if (!running_answers_.empty()) {
        const int a = running_answers_.front();
        if (running_answers_.size() > 1) running_answers_.pop_front();
        return a;
      }
      return service_state_;
    };
    s.service.install = [this] { calls_.push_back("install"); errno = 13; return install_ok_; };
    s.service.remove = [this] { calls_.push_back("remove"); return remove_ok_; };
    s.service.start = [this] { calls_.push_back("start"); return start_ok_; };
    s.service.stop = [this] { calls_.push_back("stop"); return stop_ok_; };
    s.service.auto_run_config = [this](uint32_t t) {
      calls_.push_back("auto_run_config " + std::to_string(t));
      return true;
    };
    s.service.install_win32 = [this](bool on) {
      calls_.push_back(std::string("install_win32 ") + (on ? "1" : "0"));
      return true;
    };
    s.service.last_error_text = [] { return std::string("Access denied (0xd)"); };
    s.systemd_running = [this] { return systemd_; };
    s.install_dir = [this] { return install_dir_; };
    s.start_process = [this](const std::string& dir) {
      calls_.push_back("start_process " + dir);
      return start_error_;
    };
    s.engine_lock_held = [this] {
      if (lock_polls_left_ > 0) {
        --lock_polls_left_;
        return true;
      }
      return lock_forever_;
    };
    s.wait = [this](milliseconds d) { waited_ += d; };
    s.auto_run = [this] { return auto_run_; };
    s.connected = [this] { return connected_; };
    s.send_stop = [this] { calls_.push_back("send_stop"); };
    s.connect = [this] { calls_.push_back("connect"); };
    s.error = [this](const std::string& text, const std::string& title) {
      boxes_.push_back(title + "|" + text);
    };
    s.information = [this](const std::string& text) { boxes_.push_back("info|" + text); };
    s.ask_yes_no = [this](const std::string& text, const std::string& title) {
      boxes_.push_back(title + "|" + text);
      return answer_yes_;
    };
    return s;
  }

  CEngineControl Control() { return CEngineControl(Seams()); }

  bool systemd_ = false;
  int service_state_ = 0;
  std::deque<int> running_answers_;
  bool install_ok_ = true, remove_ok_ = true, start_ok_ = true, stop_ok_ = true;
  std::string install_dir_ = "/opt/quillmar/bin";
  int start_error_ = 0;
  int lock_polls_left_ = 0;
  bool lock_forever_ = false;
  bool auto_run_ = false;
  bool connected_ = false;
  bool answer_yes_ = true;
  milliseconds waited_{0};
  std::vector<std::string> calls_;
  std::vector<std::string> boxes_;
};

const char kQuestion[] =
    "Service Start|Do you really want to stop/restart the proxy engine for the changes?\n"
    "Please note that if you stop/restart the engine,\nall the connections are reset.";

TEST_F(EngineControlTest, WithoutSystemdStartRunsTheEngineFromInstallDir) {
  EXPECT_TRUE(Control().StartEngine());
  EXPECT_EQ(calls_, std::vector<std::string>{"start_process /opt/quillmar/bin"});
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(EngineControlTest, WithoutSystemdAFailedStartNamesTheError) {
  start_error_ = ENOENT;
  EXPECT_FALSE(Control().StartEngine());
  EXPECT_EQ(boxes_, std::vector<std::string>{
                        "Quillmar|Engine starting failed (#2)- No such file or directory"});
}

TEST_F(EngineControlTest, WithoutSystemdStopSendsTheStopAndAwaitsTheLock) {
  lock_polls_left_ = 3;
  EXPECT_TRUE(Control().StopEngine());
  EXPECT_EQ(calls_, std::vector<std::string>{"send_stop"});
  EXPECT_EQ(waited_, milliseconds(600));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(EngineControlTest, WithoutSystemdAnEngineThatStaysGivesUpAfterTheBound) {
  lock_forever_ = true;
  EXPECT_FALSE(Control().StopEngine());
  EXPECT_EQ(boxes_, std::vector<std::string>{"Fatal Error|Can not stop Quillmar proxy engine"});
  EXPECT_EQ(waited_, milliseconds(11000));
}

TEST_F(EngineControlTest, WithoutSystemdApplyWhenConnectedAsksStopsAwaitsAndStarts) {
  connected_ = true;
  auto_run_ = true;
  lock_polls_left_ = 2;
  Control().ApplyAndRestart();
  EXPECT_EQ(boxes_, std::vector<std::string>{kQuestion});
  EXPECT_EQ(calls_, (std::vector<std::string>{"install_win32 1", "send_stop",
                                              "start_process /opt/quillmar/bin"}));
  EXPECT_EQ(waited_, milliseconds(400));
}

TEST_F(EngineControlTest, WithoutSystemdApplyAnsweredNoKeepsTheEngine) {
  connected_ = true;
  answer_yes_ = false;
  Control().ApplyAndRestart();
  EXPECT_EQ(calls_, std::vector<std::string>{"install_win32 0"});
}

TEST_F(EngineControlTest, WithoutSystemdApplyWhenNotConnectedStartsAtOnce) {
  Control().ApplyAndRestart();
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(calls_, (std::vector<std::string>{"install_win32 0", "start_process /opt/quillmar/bin"}));
}

TEST_F(EngineControlTest, WithoutSystemdApplyDoesNotStartWhileTheOldEngineStays) {
  connected_ = true;
  lock_forever_ = true;
  Control().ApplyAndRestart();
  EXPECT_EQ(boxes_.back(), "Fatal Error|Can not stop Quillmar proxy engine");
  EXPECT_EQ(calls_, (std::vector<std::string>{"install_win32 0", "send_stop"}));
}

TEST_F(EngineControlTest, WithSystemdStartInstallsAMissingService) {
  systemd_ = true;
  service_state_ = -1;
  EXPECT_TRUE(Control().StartEngine());
  EXPECT_EQ(calls_, (std::vector<std::string>{"is_running", "install", "start"}));
  EXPECT_EQ(waited_, milliseconds(200));
}

TEST_F(EngineControlTest, WithSystemdFailuresHaveTheirTexts) {
  systemd_ = true;
  service_state_ = -1;
  install_ok_ = false;
  EXPECT_FALSE(Control().StartEngine());
  service_state_ = 0;
  start_ok_ = false;
  EXPECT_FALSE(Control().StartEngine());
  stop_ok_ = false;
  EXPECT_FALSE(Control().StopEngine());
  EXPECT_EQ(boxes_, (std::vector<std::string>{
                        "Quillmar|Service Installation failed (#13)- Access denied (0xd)",
                        "Quillmar|Service failed to start- Access denied (0xd)",
                        "Quillmar|Service failed to stop- Access denied (0xd)"}));
  // A failed service stop sends the stop message as well.
  EXPECT_EQ(calls_.back(), "send_stop");
}

TEST_F(EngineControlTest, WithSystemdApplyRestartsARunningService) {
  systemd_ = true;
  auto_run_ = true;
  running_answers_ = {1, 1, 1, 1, 0};
  Control().ApplyAndRestart();
  EXPECT_EQ(boxes_, std::vector<std::string>{kQuestion});
  EXPECT_EQ(calls_, (std::vector<std::string>{"is_running", "auto_run_config 2", "is_running",
                                              "stop", "is_running", "is_running", "is_running",
                                              "is_running", "is_running", "start",
                                              "connect"}));
}

TEST_F(EngineControlTest, WithSystemdAServiceThatDoesNotStopGivesTheFatalError) {
  systemd_ = true;
  running_answers_ = {1};
  Control().ApplyAndRestart();
  EXPECT_EQ(boxes_.back(), "Fatal Error|Can not stop Quillmar proxy engine");
  EXPECT_EQ(std::count(calls_.begin(), calls_.end(), "start"), 0);
  // Ten polls a second apart and one more second.
  EXPECT_EQ(waited_, milliseconds(11000));
}

TEST_F(EngineControlTest, WithSystemdApplyStartsAStoppedServiceAndConnects) {
  systemd_ = true;
  service_state_ = 0;
  Control().ApplyAndRestart();
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(calls_, (std::vector<std::string>{"is_running", "auto_run_config 3", "is_running",
                                              "is_running", "start", "connect"}));
}

TEST_F(EngineControlTest, UninstallHasItsTwoMessages) {
  systemd_ = true;
  Control().Uninstall();
  remove_ok_ = false;
  Control().Uninstall();
  EXPECT_EQ(boxes_, (std::vector<std::string>{"info|Quillmar Service uninstalled!",
                                              "Quillmar|Service deletion failed - Access denied (0xd)"}));
}

TEST_F(EngineControlTest, UninstallAppliesOnlyToAnInstalledService) {
  systemd_ = false;
  EXPECT_FALSE(Control().UninstallEnabled());
  systemd_ = true;
  service_state_ = -1;
  EXPECT_FALSE(Control().UninstallEnabled());
  service_state_ = 0;
  EXPECT_TRUE(Control().UninstallEnabled());
  service_state_ = 1;
  EXPECT_TRUE(Control().UninstallEnabled());
}

}  // namespace
}  // namespace qlm::manager
