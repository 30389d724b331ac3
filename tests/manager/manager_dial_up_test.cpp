// The manager's dial-up commands over the scripted dial-up service: status
// poll, auto hang-up countdown and answers, dial and hang-up with prompts.
#include <gtest/gtest.h>

#include "dialup/scripted_backend.h"
#include "manager/manager_dial_up.h"

namespace qlm::manager {
namespace {

using dialup::kRasConnected;

struct Harness {
  dialup::CScriptedBackend backend;
  ManagerDialUpSettings settings{true, true, "provider", "user", "pw"};
  std::string root = "unset";
  std::vector<std::string> errors;
  std::vector<std::string> questions;
  std::vector<bool> answers;  // in turn; Yes when they run out
  bool dialog = false;
  int keeps = 0;
  int waits = 0;
  std::vector<std::pair<int, int>> posted;
  std::unique_ptr<CManagerDialUp> dial_up;

  Harness() {
    ManagerDialUpSeams s;
    s.settings = [this] { return settings; };
    s.set_root_status = [this](const std::string& line) { root = line; };
    s.error = [this](const std::string& text) { errors.push_back(text); };
    s.ask_yes_no = [this](const std::string& text, const std::string& title) {
      questions.push_back(title + "|" + text);
      return questions.size() > answers.size() || answers[questions.size() - 1];
    };
    s.open_dialog = [this] { dialog = true; };
    s.close_dialog = [this] { dialog = false; };
    s.dialog_open = [this] { return dialog; };
    s.send_keep_connection = [this] { ++keeps; };
    s.post_dial_state = [this](int state, int error) { posted.emplace_back(state, error); };
    s.wait = [this](std::chrono::milliseconds) { ++waits; };
    ManagerDialUpTimes times;
    times.release_polls = 3;
    dial_up = std::make_unique<CManagerDialUp>(&backend, std::move(s), times);
  }
};

TEST(ManagerDialUpTest, StatusPollShowsTheLineInTheRootLabel) {
  Harness h;
  h.dial_up->PollDialStatus();
  EXPECT_EQ(h.root, "");
  EXPECT_EQ(h.dial_up->StatusText(), "Disconnected");
  const auto line = h.backend.AddConnection(kRasConnected);
  h.dial_up->PollDialStatus();
  EXPECT_EQ(h.root, "Dial-Up: Connected");
  EXPECT_TRUE(h.dial_up->LineConnected());
  h.backend.SetErrorString(691, "Access denied");
  h.backend.SetState(line, dialup::kRasAuthenticate, 691);
  h.dial_up->PollDialStatus();
  EXPECT_EQ(h.root, "Dial-Up: Starting Authentication: Access denied");
  h.backend.SetState(line, dialup::kRasAuthenticate, 777);
  h.dial_up->PollDialStatus();
  EXPECT_EQ(h.root, "Dial-Up: Starting Authentication: Undefined Dial-Up Error.");
  EXPECT_FALSE(h.dial_up->LineConnected());
}

TEST(ManagerDialUpTest, StatusPollDoesNothingWithoutUseDialUpOrBackend) {
  Harness h;
  h.settings.use_dial_up = false;
  h.dial_up->PollDialStatus();
  EXPECT_EQ(h.root, "unset");
  Harness missing;
  missing.backend.SetLoadable(false);
  missing.dial_up->PollDialStatus();
  EXPECT_EQ(missing.root, "unset");
}

TEST(ManagerDialUpTest, UnansweredWarningClosesOnTheSixthHeartbeat) {
  Harness h;
  h.backend.AddConnection(kRasConnected);
  h.dial_up->PollDialStatus();
  h.dial_up->ShowAutoHangUp();
  EXPECT_TRUE(h.dialog);
  EXPECT_EQ(h.dial_up->Countdown(), 5);
  for (int expected = 4; expected >= 0; --expected) {
    h.dial_up->CountdownStep();
    EXPECT_TRUE(h.dialog);
    EXPECT_EQ(h.dial_up->Countdown(), expected);
  }
  h.dial_up->CountdownStep();
  EXPECT_FALSE(h.dialog);
  EXPECT_EQ(h.dial_up->Countdown(), -1);
  EXPECT_EQ(h.keeps, 0);
}

TEST(ManagerDialUpTest, DialogClosesAtTheNextHeartbeatWhenTheLineDrops) {
  Harness h;
  const auto line = h.backend.AddConnection(kRasConnected);
  h.dial_up->PollDialStatus();
  h.dial_up->ShowAutoHangUp();
  h.backend.RemoveConnection(line);
  h.dial_up->PollDialStatus();
  h.dial_up->CountdownStep();
  EXPECT_FALSE(h.dialog);
  EXPECT_EQ(h.dial_up->Countdown(), -1);
}

TEST(ManagerDialUpTest, CancelVetoesAndOkHangsUpEveryLine) {
  Harness h;
  h.backend.AddConnection(kRasConnected);
  h.backend.AddConnection(kRasConnected);
  h.dial_up->ShowAutoHangUp();
  h.dial_up->AutoHangUpAnswered(false);
  EXPECT_EQ(h.keeps, 1);
  EXPECT_FALSE(h.dialog);
  EXPECT_EQ(h.dial_up->Countdown(), -1);
  EXPECT_TRUE(h.backend.HangUps().empty());
  h.dial_up->ShowAutoHangUp();
  h.dial_up->AutoHangUpAnswered(true);
  EXPECT_EQ(h.keeps, 1);
  EXPECT_EQ(h.backend.HangUps().size(), 2u);
  EXPECT_EQ(h.root, "");
  EXPECT_TRUE(h.questions.empty());
}

TEST(ManagerDialUpTest, DialNeedsAnEntryAndCredentials) {
  Harness h;
  h.settings.profile.clear();
  h.dial_up->ManagerDial();
  ASSERT_EQ(h.errors.size(), 1u);
  EXPECT_EQ(h.errors[0],
            "Please check Dial-Up Settings in the General Tab!  Pay attention to the Dial-Up entry "
            "selection.");
  h.settings.profile = "provider";
  h.settings.password.clear();
  h.dial_up->ManagerDial();
  ASSERT_EQ(h.errors.size(), 2u);
  EXPECT_EQ(h.errors[1],
            "There is no user id or password specified in the Dial Settings in General Tab!");
  EXPECT_TRUE(h.backend.Dials().empty());
}

TEST(ManagerDialUpTest, DialWithALineConnectedDoesNothing) {
  Harness h;
  h.backend.AddConnection(kRasConnected);
  h.dial_up->ManagerDial();
  EXPECT_TRUE(h.backend.Dials().empty());
  EXPECT_TRUE(h.backend.HangUps().empty());
}

TEST(ManagerDialUpTest, DialShowsItsProgressAndFailures) {
  Harness h;
  h.backend.AddConnection(dialup::kRasAuthenticate);  // a half-open line goes first
  h.dial_up->ManagerDial();
  EXPECT_EQ(h.backend.HangUps().size(), 1u);
  ASSERT_EQ(h.backend.Dials().size(), 1u);
  EXPECT_EQ(h.backend.Dials()[0].entry, "provider");
  EXPECT_EQ(h.backend.Dials()[0].user, "user");
  EXPECT_EQ(h.backend.Dials()[0].domain, "*");
  EXPECT_EQ(h.root, "Dial-Up Networking: Dialing provider...");
  h.backend.Notify(kRasConnected);
  ASSERT_EQ(h.posted.size(), 1u);
  h.dial_up->OnDialNotification(h.posted[0].first, h.posted[0].second);
  EXPECT_EQ(h.root, "Dial-Up: Connected");

  Harness failing;
  failing.backend.SetDialResult(633);
  failing.dial_up->ManagerDial();
  ASSERT_EQ(failing.errors.size(), 1u);
  EXPECT_EQ(failing.errors[0], "Dialing failed because of error: #633");
}

TEST(ManagerDialUpTest, HangUpAsksPerLineAndKeepsTheLabelWhenOneIsKept) {
  Harness h;
  h.backend.AddConnection(kRasConnected);
  h.backend.AddConnection(kRasConnected);
  h.root = "Dial-Up: Connected";
  h.dial_up->ManagerHangUp();
  ASSERT_EQ(h.questions.size(), 2u);
  EXPECT_EQ(h.questions[0], "Hang Up Box|Do you want to hang up scripted?");
  EXPECT_EQ(h.root, "");

  Harness keep;
  keep.backend.AddConnection(kRasConnected);
  keep.backend.AddConnection(kRasConnected);
  keep.root = "Dial-Up: Connected";
  keep.answers = {true, false};
  keep.dial_up->ManagerHangUp();
  EXPECT_EQ(keep.root, "Dial-Up: Connected");
  EXPECT_EQ(keep.backend.HangUps().size(), 1u);
}

TEST(ManagerDialUpTest, TheWaitAfterAHangUpIsBounded) {
  Harness h;
  h.backend.SetReleaseOnHangUp(false);  // the platform never lets go
  h.backend.AddConnection(kRasConnected);
  h.dial_up->ManagerHangUp();
  EXPECT_EQ(h.waits, 3);
}

}  // namespace
}  // namespace qlm::manager
