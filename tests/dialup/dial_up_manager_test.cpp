// The dial-up manager over a scripted line: the status poll, the idle monitor
// as the engine's tick drives it, dialling and hanging up, the notifier, and
// the calls the proxies make.
#include "dialup/dial_up_manager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "dialup/scripted_backend.h"
#include "engine/activity_log.h"
#include "engine/engine_error_report.h"
#include "net/shutdown_socket.h"
#include "net/traffic_idle_flag.h"

namespace qlm::dialup {
namespace {

using namespace std::chrono_literals;

class LogCapture : public engine::IReportSink {
 public:
  void Log(engine::ThreadTag thread, const std::string& kind, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back({thread, kind, text});
  }
  void Activity(const std::string&, const std::string&, const std::optional<std::string>&) override {}
  struct Line {
    engine::ThreadTag thread;
    std::string kind;
    std::string text;
  };
  std::vector<Line> Lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }

 private:
  std::mutex mutex_;
  std::vector<Line> lines_;
};

class DialUpManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.UseDialUp = true;
    settings_.DialUpManaged = true;
    settings_.AutoConnect = true;
    settings_.DialUpProfile = "provider";
    settings_.DialUpUserId = "alice";
    settings_.DialUpPasswd = "secret";
    engine::SetReportSinkForTest(&log_);
    net::TrafficIdleFlag() = 1;
  }
  void TearDown() override {
    manager_.ResetForTest();
    engine::SetReportSinkForTest(nullptr);
  }

  void Start() {
    auto backend = std::make_unique<CScriptedBackend>();
    line_ = backend.get();
    DialUpHooks hooks;
    hooks.signal_dial = [this] { ++dial_signals_; };
    hooks.signal_hang_up = [this] { ++hang_up_signals_; };
    hooks.send_idle_hangup_warning = [this] { ++warnings_; };
    hooks.report_engine_error = [this](const std::string& text, bool is_error) {
      reports_.push_back((is_error ? "error: " : "information: ") + text);
    };
    hooks.show_message = [this](const std::string& text, const std::string& title) {
      shown_.push_back(title + ": " + text);
    };
    hooks.send_keep_alive = [this](const std::vector<uint8_t>& datagram, const sockaddr_in&) {
      probes_.push_back(datagram);
    };
    DialUpTimeouts timeouts;
    timeouts.connection_round = 5ms;
    timeouts.connection_rounds = 4;
    timeouts.release_poll = 1ms;
    timeouts.release_bound = 50ms;
    manager_.Configure(settings_, std::move(hooks), std::move(backend), timeouts);
  }

  // The engine's 4-second tick, with nothing sent since the previous one.
  void IdleTicks(int count) {
    for (int i = 0; i < count; ++i) {
      manager_.PollStatus();
    }
  }

  DialUpSettings settings_;
  DialUpManager manager_;
  CScriptedBackend* line_ = nullptr;
  LogCapture log_;
  int dial_signals_ = 0;
  int hang_up_signals_ = 0;
  int warnings_ = 0;
  std::vector<std::string> reports_;
  std::vector<std::string> shown_;
  std::vector<std::vector<uint8_t>> probes_;
};

TEST_F(DialUpManagerTest, PollTakesTheFirstConnectionsStateText) {
  Start();
  manager_.PollStatus();
  EXPECT_EQ(manager_.StatusText(), "Disconnected");
  EXPECT_FALSE(manager_.IsConnected());
  ConnectionHandle first = line_->AddConnection(kRasAuthenticated);
  line_->AddConnection(kRasConnected);
  manager_.PollStatus();
  EXPECT_EQ(manager_.StatusText(), "Authenticated");
  EXPECT_FALSE(manager_.IsConnected());
  line_->SetState(first, kRasConnected);
  manager_.PollStatus();
  EXPECT_EQ(manager_.StatusText(), "Connected");
  EXPECT_TRUE(manager_.IsConnected());
  line_->SetState(first, 4242);
  manager_.PollStatus();
  EXPECT_EQ(manager_.StatusText(), "Undefine Error Code");
  // A failed query leaves "Disconnected".
  line_->FailQuery(first);
  manager_.PollStatus();
  EXPECT_EQ(manager_.StatusText(), "Disconnected");
}

TEST_F(DialUpManagerTest, PollShowsAStatusErrorButNotPending) {
  Start();
  ConnectionHandle line = line_->AddConnection(kRasConnectDevice, 600);
  manager_.PollStatus();
  EXPECT_EQ(manager_.StatusText(), "Connecting Device");
  line_->SetState(line, kRasConnectDevice, 678);
  manager_.PollStatus();
  EXPECT_EQ(manager_.StatusText(), "Undefined Dial-Up Error.");
  line_->SetErrorString(678, "The remote computer did not respond.");
  manager_.PollStatus();
  EXPECT_EQ(manager_.StatusText(), "The remote computer did not respond.");
  EXPECT_FALSE(manager_.IsConnected());
  // The service's texts are taken up to 127 characters.
  line_->SetErrorString(678, std::string(127, 'x') + "y");
  manager_.PollStatus();
  EXPECT_EQ(manager_.StatusText(), std::string(127, 'x'));
}

TEST_F(DialUpManagerTest, MissingServiceLeavesEverythingOff) {
  Start();
  line_->SetLoadable(false);
  line_->AddConnection(kRasConnected);
  manager_.PollStatus();
  manager_.Dial();
  manager_.HangUp();
  manager_.OnRasDialEvent(0, kRasConnected, 0);
  EXPECT_EQ(manager_.StatusText(), "");
  EXPECT_FALSE(manager_.IsConnected());
  EXPECT_TRUE(line_->Dials().empty());
  EXPECT_TRUE(line_->HangUps().empty());
  EXPECT_TRUE(shown_.empty());
  EXPECT_EQ(line_->LoadCalls(), 1);  // asked once, off for good
}

TEST_F(DialUpManagerTest, UnconfiguredManagerIsSilent) {
  EXPECT_FALSE(manager_.IsConnected());
  EXPECT_FALSE(manager_.AutoDialWanted(false));
  EXPECT_EQ(manager_.StatusText(), "");
  manager_.RequestDial();
  manager_.PollStatus();
  manager_.Dial();
  manager_.KeepConnection();
  EXPECT_FALSE(manager_.WaitForConnection());
}

TEST_F(DialUpManagerTest, DisconnectIdleOneMinuteWarnsThenHangsUp) {
  settings_.DisconnectIdle = true;
  settings_.DisconnectIdleTime = 1;
  Start();
  line_->AddConnection(kRasConnected);
  IdleTicks(10);
  EXPECT_EQ(warnings_, 0);
  EXPECT_EQ(manager_.IdleCountdownForTest(), 5u);
  IdleTicks(1);
  EXPECT_EQ(warnings_, 1);
  EXPECT_EQ(manager_.IdleCountdownForTest(), 4u);
  IdleTicks(4);
  EXPECT_TRUE(line_->HangUps().empty());
  IdleTicks(1);
  EXPECT_EQ(line_->HangUps().size(), 1u);
  EXPECT_EQ(warnings_, 1);
  manager_.PollStatus();
  EXPECT_EQ(manager_.StatusText(), "Disconnected");
  EXPECT_EQ(manager_.IdleCountdownForTest(), 15u);  // restarts after the hang-up
}

TEST_F(DialUpManagerTest, VetoReloadsTheCountdown) {
  settings_.DisconnectIdle = true;
  settings_.DisconnectIdleTime = 1;
  Start();
  line_->AddConnection(kRasConnected);
  IdleTicks(11);
  EXPECT_EQ(warnings_, 1);
  manager_.KeepConnection();  // MSG_KEEP_CONNECTION
  EXPECT_EQ(manager_.IdleCountdownForTest(), 15u);
  IdleTicks(5);
  EXPECT_TRUE(line_->HangUps().empty());
  EXPECT_EQ(warnings_, 1);
}

TEST_F(DialUpManagerTest, ProxyTrafficRestartsTheCountdownButTheProbeDoesNot) {
  settings_.KeepAliveIdle = true;
  settings_.KeepAliveIdleTime = 1;
  Start();
  line_->AddConnection(kRasConnected);
  IdleTicks(8);
  EXPECT_EQ(manager_.IdleCountdownForTest(), 7u);
  net::TrafficIdleFlag() = 0;  // a proxy's send
  manager_.PollStatus();
  EXPECT_EQ(manager_.IdleCountdownForTest(), 15u);
  IdleTicks(16);
  ASSERT_EQ(probes_.size(), 1u);
  // The probe itself is no traffic: the next probe comes a full cycle later.
  IdleTicks(15);
  EXPECT_EQ(probes_.size(), 1u);
  IdleTicks(1);
  EXPECT_EQ(probes_.size(), 2u);
  EXPECT_EQ(probes_[0].size(), 35u);
  EXPECT_TRUE(line_->HangUps().empty());
}

TEST_F(DialUpManagerTest, TheWarningToTheManagerIsNoTraffic) {
  settings_.DisconnectIdle = true;
  settings_.DisconnectIdleTime = 1;
  Start();
  line_->AddConnection(kRasConnected);
  IdleTicks(11);
  ASSERT_EQ(warnings_, 1);
  // Whatever the manager channel sends, the countdown runs on to the hang-up.
  IdleTicks(5);
  EXPECT_EQ(line_->HangUps().size(), 1u);
}

TEST_F(DialUpManagerTest, IdleMonitorNeedsAManagedLine) {
  settings_.DialUpManaged = false;
  settings_.DisconnectIdle = true;
  settings_.DisconnectIdleTime = 1;
  Start();
  line_->AddConnection(kRasConnected);
  IdleTicks(40);
  EXPECT_EQ(warnings_, 0);
  EXPECT_TRUE(line_->HangUps().empty());
  EXPECT_EQ(manager_.StatusText(), "Connected");
}

TEST_F(DialUpManagerTest, BothIdleOptionsOffNothingHappens) {
  Start();
  line_->AddConnection(kRasConnected);
  IdleTicks(100);
  EXPECT_EQ(manager_.IdleCountdownForTest(), 60u);
  EXPECT_EQ(warnings_, 0);
  EXPECT_TRUE(probes_.empty());
  EXPECT_TRUE(line_->HangUps().empty());
}

TEST_F(DialUpManagerTest, AutoDialWantedFollowsTheSettingsAndTheLine) {
  Start();
  EXPECT_TRUE(manager_.AutoDialWanted(false));
  EXPECT_FALSE(manager_.AutoDialWanted(true));  // NoDNSAutoConnect is on by default
  line_->AddConnection(kRasConnected);
  manager_.PollStatus();
  EXPECT_FALSE(manager_.AutoDialWanted(false));

  settings_.NoDNSAutoConnect = false;
  Start();
  EXPECT_TRUE(manager_.AutoDialWanted(true));
  for (int off = 0; off < 3; ++off) {
    DialUpSettings s = settings_;
    (off == 0 ? s.UseDialUp : off == 1 ? s.DialUpManaged : s.AutoConnect) = false;
    manager_.Configure(s, {}, std::make_unique<CScriptedBackend>());
    EXPECT_FALSE(manager_.AutoDialWanted(false)) << off;
    EXPECT_FALSE(manager_.AutoDialWanted(true)) << off;
  }
}

TEST_F(DialUpManagerTest, RequestsOnlySignalTheEngine) {
  Start();
  manager_.RequestDial();
  manager_.RequestDial();
  manager_.RequestHangUp();
  EXPECT_EQ(dial_signals_, 2);
  EXPECT_EQ(hang_up_signals_, 1);
  EXPECT_TRUE(line_->Dials().empty());
  EXPECT_TRUE(line_->HangUps().empty());
}

TEST_F(DialUpManagerTest, DialPassesTheEntryAndCredentials) {
  settings_.DialUpProfile = std::string(300, 'p');
  Start();
  manager_.Dial();
  std::vector<DialParams> dials = line_->Dials();
  ASSERT_EQ(dials.size(), 1u);
  EXPECT_EQ(dials[0].entry, std::string(256, 'p'));
  EXPECT_EQ(dials[0].phone_number, "");
  EXPECT_EQ(dials[0].callback_number, "*");
  EXPECT_EQ(dials[0].user, "alice");
  EXPECT_EQ(dials[0].password, "secret");
  EXPECT_EQ(dials[0].domain, "*");
  EXPECT_TRUE(shown_.empty());
  EXPECT_TRUE(reports_.empty());
}

TEST_F(DialUpManagerTest, DialWhileALineIsBeingSetUpDoesNothing) {
  Start();
  for (int state : {kRasOpenPort, kRasAuthenticated, kRasConnected}) {
    ConnectionHandle line = line_->AddConnection(state);
    manager_.Dial();
    EXPECT_TRUE(line_->Dials().empty()) << state;
    line_->RemoveConnection(line);
  }
  // A handle whose query fails is a line in the making as well.
  ConnectionHandle odd = line_->AddConnection(kRasDisconnected);
  line_->FailQuery(odd);
  manager_.Dial();
  EXPECT_TRUE(line_->Dials().empty());
  EXPECT_TRUE(line_->HangUps().empty());
}

TEST_F(DialUpManagerTest, DialClearsAwayDisconnectedLinesFirst) {
  Start();
  ConnectionHandle stale = line_->AddConnection(kRasDisconnected);
  manager_.Dial();
  EXPECT_EQ(line_->HangUps(), std::vector<ConnectionHandle>{stale});
  EXPECT_EQ(line_->Dials().size(), 1u);
}

TEST_F(DialUpManagerTest, MissingEntryIsReportedAsInformationAndShown) {
  settings_.DialUpProfile.clear();
  Start();
  manager_.Dial();
  EXPECT_TRUE(line_->Dials().empty());
  EXPECT_EQ(reports_, std::vector<std::string>{
                          "information: Please check Dial-Up Settings in the General Tab!  Pay "
                          "attention to the Dial-Up entry selection."});
  EXPECT_EQ(shown_, std::vector<std::string>{
                        "Quillmar Service Error Message: Please check Dial-Up Settings in the "
                        "General Tab!  Pay attention to the Dial-Up entry selection."});
}

TEST_F(DialUpManagerTest, MissingUserOrPasswordIsAnError) {
  for (int which = 0; which < 2; ++which) {
    settings_ = DialUpSettings{};
    SetUp();
    (which == 0 ? settings_.DialUpUserId : settings_.DialUpPasswd).clear();
    reports_.clear();
    shown_.clear();
    Start();
    manager_.Dial();
    EXPECT_TRUE(line_->Dials().empty());
    EXPECT_EQ(reports_, std::vector<std::string>{"error: There is no user id or password "
                                                 "specified in the Dial Settings in General Tab!"});
    EXPECT_EQ(shown_, std::vector<std::string>{
                          "Quillmar Service Error Message: There is no user id or password "
                          "specified in the Dial Settings in General Tab!"});
  }
}

TEST_F(DialUpManagerTest, ARefusedDialIsReportedWithItsNumber) {
  Start();
  line_->SetDialResult(623);
  manager_.Dial();
  EXPECT_EQ(reports_, std::vector<std::string>{"error: Dialing failed because of error: #623"});
  EXPECT_EQ(shown_, std::vector<std::string>{
                        "Quillmar Service Error Message: Dialing failed because of error: #623"});
}

TEST_F(DialUpManagerTest, WithoutHooksTheEngineReportsAndShows) {
  std::vector<std::string> seen;
  engine::SetEngineReportSinkForTest(
      [&seen](const std::string& kind, const std::string& text) { seen.push_back(kind + ": " + text); });
  auto backend = std::make_unique<CScriptedBackend>();
  settings_.DialUpPasswd.clear();
  manager_.Configure(settings_, {}, std::move(backend));
  manager_.Dial();
  engine::SetEngineReportSinkForTest(nullptr);
  const std::string text =
      "There is no user id or password specified in the Dial Settings in General Tab!";
  EXPECT_EQ(seen, (std::vector<std::string>{"error: " + text,
                                            "Quillmar Service Error Message: " + text}));
}

TEST_F(DialUpManagerTest, DialNeedsUseDialUp) {
  settings_.UseDialUp = false;
  Start();
  manager_.Dial();
  manager_.PollStatus();
  EXPECT_TRUE(line_->Dials().empty());
  EXPECT_EQ(line_->LoadCalls(), 0);
  EXPECT_EQ(manager_.StatusText(), "");
}

TEST_F(DialUpManagerTest, NotifierFollowsTheDialAndLogsFailures) {
  Start();
  manager_.Dial();
  line_->Notify(kRasOpenPort);
  EXPECT_EQ(manager_.StatusText(), "Opening Port");
  line_->Notify(kRasAuthenticate, 600);  // pending: no error
  EXPECT_EQ(manager_.StatusText(), "Starting Authentication");
  line_->Notify(kRasConnected);
  EXPECT_TRUE(manager_.IsConnected());
  EXPECT_TRUE(log_.Lines().empty());

  line_->Notify(kRasAuthenticate, 691);
  EXPECT_EQ(manager_.StatusText(), "Wrong user id or password or other dial-up errors.");
  EXPECT_FALSE(manager_.IsConnected());
  line_->SetErrorString(692, "The port or device is already disconnecting.");
  line_->Notify(kRasDisconnected, 692);
  EXPECT_EQ(manager_.StatusText(), "The port or device is already disconnecting.");
  std::vector<LogCapture::Line> lines = log_.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].kind, "ERR");
  EXPECT_FALSE(lines[0].thread.has_value());
  EXPECT_EQ(lines[0].text,
            "Dial-Up: Starting Authentication: Wrong user id or password or other dial-up "
            "errors.");
  EXPECT_EQ(lines[1].text, "Dial-Up: Disconnected: The port or device is already disconnecting.");
}

TEST_F(DialUpManagerTest, HangUpHangsUpEveryLineAndWaitsForItsRelease) {
  Start();
  ConnectionHandle a = line_->AddConnection(kRasConnected);
  ConnectionHandle b = line_->AddConnection(kRasAuthenticated);
  manager_.HangUp();
  EXPECT_EQ(line_->HangUps(), (std::vector<ConnectionHandle>{a, b}));
  EXPECT_TRUE(line_->EnumConnections().empty());
}

TEST_F(DialUpManagerTest, HangUpGivesUpOnALineThatIsNeverReleased) {
  Start();
  line_->SetReleaseOnHangUp(false);
  ConnectionHandle stuck = line_->AddConnection(kRasConnected);
  auto start = std::chrono::steady_clock::now();
  manager_.HangUp();
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 50ms);
  EXPECT_LT(took, 5s);
  // Asked again after the first poll's sleep, however long a loaded machine
  // makes that sleep (a count of 3 within 50 ms failed under the sanitizer).
  EXPECT_GE(line_->StatusQueries(stuck), 2);
}

TEST_F(DialUpManagerTest, WaitForConnectionLeavesOnceConnected) {
  Start();
  EXPECT_FALSE(manager_.WaitForConnection());  // 4 rounds, then proceeds
  line_->AddConnection(kRasConnected);
  manager_.PollStatus();
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(manager_.WaitForConnection());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 15ms + 1s);
}

TEST_F(DialUpManagerTest, EngineStopEndsTheWaits) {
  auto backend = std::make_unique<CScriptedBackend>();
  CScriptedBackend* line = backend.get();
  line->SetReleaseOnHangUp(false);
  line->AddConnection(kRasConnected);
  DialUpTimeouts long_waits;  // 60 x 2 s and 30 s of release polls
  manager_.Configure(settings_, {}, std::move(backend), long_waits);
  net::CShutdownSocket::Instance().Close();
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(manager_.WaitForConnection());
  manager_.HangUp();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  net::CShutdownSocket::Instance().ResetForTest();
  EXPECT_EQ(line->HangUps().size(), 1u);
}

}  // namespace
}  // namespace qlm::dialup
