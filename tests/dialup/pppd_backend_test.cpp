// The pppd backend against a fake pppd (tests/dialup/pppd_fake.h): entries,
// dial states, errors, hang-up, and lines started elsewhere.
#include "dialup/pppd_backend.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "dialup/dial_up_manager.h"
#include "dialup/pppd_log.h"
#include "engine/activity_log.h"
#include "tests/dialup/pppd_fake.h"
#include "tests/support/child_process.h"
#include "tests/support/wait_until.h"

namespace qlm::dialup {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST_F(PppdBackendTest, WithoutAPppdProgramTheServiceIsMissing) {
  paths_.program = "qlm-no-such-pppd";
  EXPECT_FALSE(Backend().Load());
  paths_.program = root_ + "/bin/absent";
  EXPECT_FALSE(Backend().Load());
  FakePppd("exit 0\n");
  paths_.program = "pppd";
  EXPECT_TRUE(Backend().Load());  // found on PATH
}

TEST_F(PppdBackendTest, EntriesAreThePeersFiles) {
  FakePppd("exit 0\n");
  EXPECT_EQ(Backend().EnumEntries(), (std::vector<std::string>{"provider", "work"}));
  paths_.peers_folder = root_ + "/none";
  EXPECT_TRUE(Backend().EnumEntries().empty());
}

TEST_F(PppdBackendTest, DialRunsPppdWithTheCredentialsInAPipe) {
  FakePppd(std::string(kComesUp) + kStaysUp);
  fs::create_directories(root_ + "/net/ppp0");
  WriteFile(root_ + "/net/ppp0/flags", "0x1091\n");
  IDialUpBackend& backend = Backend();
  ASSERT_TRUE(backend.Load());
  Notes& notes = notes_;
  ConnectionHandle line = DialProvider(backend, notes);
  ASSERT_TRUE(test::WaitUntil([&] { return notes.Has(kRasConnected); }));
  EXPECT_EQ(ReadFile(root_ + "/args"), "call provider nodetach logfd 1 file /dev/fd/3\n");
  EXPECT_EQ(ReadFile(root_ + "/options.seen"),
            "user \"alice\"\npassword \"se\\\"cr\\\\et pass\\011\"\n");
  EXPECT_EQ(ReadFile(root_ + "/options.kind"), "600 fifo\n");  // a pipe, the owner's only
  EXPECT_EQ(notes.Events(), (std::vector<std::pair<int, int>>{{kRasOpenPort, 0},
                                                              {kRasDeviceConnected, 0},
                                                              {kRasAllDevicesConnected, 0},
                                                              {kRasAuthenticated, 0},
                                                              {kRasConnected, 0}}));
  EXPECT_EQ(backend.EnumConnections(), std::vector<ConnectionHandle>{line});
  std::optional<ConnectionStatus> status = backend.GetConnectStatus(line);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->state, kRasConnected);
  EXPECT_EQ(status->device_name, "ppp0");

  // The interface going down is the line going down.
  WriteFile(root_ + "/net/ppp0/flags", "0x1090\n");
  EXPECT_EQ(backend.GetConnectStatus(line)->state, kRasDisconnected);
  WriteFile(root_ + "/net/ppp0/flags", "0x1091\n");

  // Hang-up: pppd ends, the handle goes, and the requested end is no error.
  EXPECT_EQ(backend.HangUp(line), 0);
  ASSERT_TRUE(test::WaitUntil([&] { return !backend.GetConnectStatus(line); }));
  fs::remove_all(root_ + "/net/ppp0");  // as the kernel does when pppd ends
  EXPECT_TRUE(backend.EnumConnections().empty());
  EXPECT_EQ(notes.Events().size(), 5u);
}

TEST_F(PppdBackendTest, RefusedPasswordIsOneErrorThenSilence) {
  FakePppd("echo 'Serial connection established.'\n"
           "echo 'PAP authentication failed'\n"
           "exit 19\n");
  IDialUpBackend& backend = Backend();
  ASSERT_TRUE(backend.Load());
  Notes& notes = notes_;
  ConnectionHandle line = DialProvider(backend, notes);
  ASSERT_TRUE(test::WaitUntil([&] { return !backend.GetConnectStatus(line); }));
  EXPECT_EQ(notes.Events(), (std::vector<std::pair<int, int>>{
                                {kRasOpenPort, 0},
                                {kRasDeviceConnected, 0},
                                {kRasAuthenticate, kPppdAuthenticationFailed}}));
}

TEST_F(PppdBackendTest, ExitCodeBecomesTheError) {
  FakePppd("exit 8\n");
  IDialUpBackend& backend = Backend();
  ASSERT_TRUE(backend.Load());
  Notes& notes = notes_;
  DialProvider(backend, notes);
  ASSERT_TRUE(test::WaitUntil([&] { return notes.Events().size() == 2; }));
  EXPECT_EQ(notes.Events()[1], std::make_pair(int{kRasDisconnected}, kPppdExitBase + 8));
  EXPECT_EQ(backend.ErrorString(kPppdExitBase + 8), "The connect script failed.");
}

TEST_F(PppdBackendTest, UnknownEntryIsRefusedWithoutStartingPppd) {
  FakePppd("exit 0\n");
  IDialUpBackend& backend = Backend();
  ASSERT_TRUE(backend.Load());
  for (const char* entry : {"nowhere", "../peers/provider", ".hidden", "sub", ""}) {
    DialParams params;
    params.entry = entry;
    ConnectionHandle handle = 7;
    EXPECT_EQ(backend.Dial(params, nullptr, &handle), kPppdEntryNotFound) << entry;
    EXPECT_EQ(handle, kNoConnection);
  }
  EXPECT_FALSE(fs::exists(root_ + "/args"));
}

TEST_F(PppdBackendTest, PppdThatIgnoresTheHangUpIsKilled) {
  FakePppd(std::string(kComesUp) +
           "trap '' TERM\n"
           "i=0; while [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done\n");
  paths_.kill_grace = 100ms;
  IDialUpBackend& backend = Backend();
  ASSERT_TRUE(backend.Load());
  Notes& notes = notes_;
  ConnectionHandle line = DialProvider(backend, notes);
  ASSERT_TRUE(test::WaitUntil([&] { return notes.Has(kRasConnected); }));
  backend.HangUp(line);
  EXPECT_EQ(backend.GetConnectStatus(line)->state, kRasDisconnected);  // on its way down
  ASSERT_TRUE(test::WaitUntil([&] { return !backend.GetConnectStatus(line); }, 5s));
}

// Regression: pppd inherited the engine's blocked stop signals and its ignored
// SIGPIPE, so a hang-up's SIGTERM stayed pending and the line stayed up until
// the kill after the grace time. The fake here is python3, which (unlike the
// shell) keeps the signal mask it was started with.
TEST_F(PppdBackendTest, HangUpReachesPppdWhileTheEngineBlocksStopSignals) {
  std::string program = root_ + "/bin/pppd";
  WriteFile(program,
            "#!/usr/bin/python3\n"
            "import signal, sys, time\n"
            "open('" + root_ + "/status', 'w').write(open('/proc/self/status').read())\n"
            "signal.signal(signal.SIGTERM, lambda *a: sys.exit(5))\n"
            "print('local  IP address 10.64.64.64', flush=True)\n"
            "for i in range(400): time.sleep(0.05)\n");
  ::chmod(program.c_str(), 0755);
  paths_.kill_grace = 60s;
  IDialUpBackend& backend = Backend();
  ASSERT_TRUE(backend.Load());
  sigset_t stop_signals;
  sigset_t before;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, &before);
  Notes& notes = notes_;
  ConnectionHandle line = DialProvider(backend, notes);
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  ASSERT_TRUE(test::WaitUntil([&] { return notes.Has(kRasConnected); }));
  EXPECT_NE(ReadFile(root_ + "/status").find("SigBlk:\t0000000000000000"), std::string::npos);
  backend.HangUp(line);
  EXPECT_TRUE(test::WaitUntil([&] { return !backend.GetConnectStatus(line); }, 5s));

  // An ignored SIGPIPE is not passed on either (the shell keeps ignored ones).
  FakePppd("grep SigIgn /proc/$$/status > \"$dir/sigign\"\n");
  auto old_pipe = ::signal(SIGPIPE, SIG_IGN);
  DialProvider(backend, notes);
  ::signal(SIGPIPE, old_pipe);
  ASSERT_TRUE(test::WaitUntil([&] { return ReadFile(root_ + "/sigign").size() > 8; }));
  unsigned long ignored = std::stoul(ReadFile(root_ + "/sigign").substr(8), nullptr, 16);
  EXPECT_EQ(ignored & (1ul << (SIGPIPE - 1)), 0u);
}

TEST_F(PppdBackendTest, LinesStartedElsewhereAreSeenAndHungUp) {
  FakePppd("exit 0\n");
  IDialUpBackend& backend = Backend();
  ASSERT_TRUE(backend.Load());
  EXPECT_TRUE(backend.EnumConnections().empty());
  test::CChildProcess other_pppd({"sleep", "30"});
  fs::create_directories(root_ + "/net/ppp1");
  fs::create_directories(root_ + "/net/eth0");
  WriteFile(root_ + "/net/ppp1/flags", "0x10d1\n");
  WriteFile(root_ + "/run/ppp1.pid", std::to_string(other_pppd.Pid()) + "\nppp1\n");
  std::vector<ConnectionHandle> lines = backend.EnumConnections();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(backend.EnumConnections(), lines);  // the handle stays
  EXPECT_EQ(backend.GetConnectStatus(lines[0])->state, kRasConnected);
  EXPECT_EQ(backend.GetConnectStatus(lines[0])->device_name, "ppp1");
  WriteFile(root_ + "/net/ppp1/flags", "0x10d0\n");
  EXPECT_EQ(backend.GetConnectStatus(lines[0])->state, kRasDisconnected);
  EXPECT_EQ(backend.HangUp(lines[0]), 0);
  EXPECT_EQ(other_pppd.Wait(5s), 128 + SIGTERM);
  fs::remove_all(root_ + "/net/ppp1");
  EXPECT_FALSE(backend.GetConnectStatus(lines[0]));
  EXPECT_TRUE(backend.EnumConnections().empty());
}

TEST_F(PppdBackendTest, OwnPppdsInterfaceIsNotTakenForAnotherLine) {
  // This pppd makes its interface and pid file but has not named it yet.
  FakePppd("mkdir -p \"$dir/net/ppp2\"; echo 0x1091 > \"$dir/net/ppp2/flags\"\n"
           "echo $$ > \"$dir/run/ppp2.pid\"\n"
           "echo 'Serial connection established.'\n" +
           std::string(kStaysUp));
  IDialUpBackend& backend = Backend();
  ASSERT_TRUE(backend.Load());
  Notes& notes = notes_;
  ConnectionHandle line = DialProvider(backend, notes);
  ASSERT_TRUE(test::WaitUntil([&] { return notes.Has(kRasDeviceConnected); }));
  EXPECT_EQ(backend.EnumConnections(), std::vector<ConnectionHandle>{line});
  backend.HangUp(line);
  ASSERT_TRUE(test::WaitUntil([&] { return !backend.GetConnectStatus(line); }));
}

// The manager over the pppd backend: a refused password ends as an ERR line
// and the status shows the error text.
TEST_F(PppdBackendTest, ManagerLogsTheFailedDial) {
  class Capture : public engine::IReportSink {
   public:
    void Log(engine::ThreadTag, const std::string& kind, const std::string& text) override {
      std::lock_guard<std::mutex> lock(mutex);
      lines.push_back(kind + " " + text);
    }
    void Activity(const std::string&, const std::string&,
                  const std::optional<std::string>&) override {}
    std::mutex mutex;
    std::vector<std::string> lines;
  } capture;
  engine::SetReportSinkForTest(&capture);
  FakePppd("echo 'PAP authentication failed'\nexit 19\n");
  // A line this machine has up already is left alone: no second dial.
  fs::create_directories(root_ + "/net/ppp7");
  WriteFile(root_ + "/net/ppp7/flags", "0x1091\n");
  DialUpSettings settings;
  settings.UseDialUp = true;
  settings.DialUpProfile = "provider";
  settings.DialUpUserId = "alice";
  settings.DialUpPasswd = "wrong";
  DialUpManager manager;
  manager.Configure(settings, {}, MakePppdBackend(paths_));
  manager.Dial();
  EXPECT_FALSE(fs::exists(root_ + "/args"));
  manager.PollStatus();
  EXPECT_TRUE(manager.IsConnected());
  fs::remove_all(root_ + "/net/ppp7");
  manager.Dial();
  ASSERT_TRUE(test::WaitUntil([&] {
    return manager.StatusText() == "The user name or password was refused by the peer.";
  }));
  manager.ResetForTest();
  engine::SetReportSinkForTest(nullptr);
  EXPECT_EQ(capture.lines, std::vector<std::string>{
                               "ERR Dial-Up: Starting Authentication: The user name or password "
                               "was refused by the peer."});
}

}  // namespace
}  // namespace qlm::dialup
