// The main loop's events: auto-reset, wait-set order, the once-only update
// check, the tick.
#include "engine/service/main_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "engine/service/tick_thread.h"
#include "tests/support/wait_until.h"

namespace qlm::engine {
namespace {

using namespace std::chrono_literals;

TEST(EngineEventsTest, FirstInWaitSetOrderWinsAndOnlyItIsReset) {
  CEngineEvents events;
  events.Signal(EngineEvent::kUpdateCheck);
  events.Signal(EngineEvent::kStop);
  events.Signal(EngineEvent::kHangUp);
  events.Signal(EngineEvent::kDialUpTick);
  EXPECT_EQ(events.WaitAny(0ms), EngineEvent::kDialUpTick);
  EXPECT_EQ(events.WaitAny(0ms), EngineEvent::kHangUp);
  EXPECT_EQ(events.WaitAny(0ms), EngineEvent::kStop);
  EXPECT_EQ(events.WaitAny(0ms), EngineEvent::kUpdateCheck);
  EXPECT_EQ(events.WaitAny(10ms), std::nullopt);
}

TEST(EngineEventsTest, SignallingTwiceBeforeAWaitIsOneEvent) {
  CEngineEvents events;
  events.Signal(EngineEvent::kDial);
  events.Signal(EngineEvent::kDial);
  EXPECT_EQ(events.WaitAny(0ms), EngineEvent::kDial);
  EXPECT_EQ(events.WaitAny(0ms), std::nullopt);
}

TEST(EngineEventsTest, AWaiterWakesOnASignalFromAnotherThread) {
  CEngineEvents events;
  std::thread signaller([&events] { events.Signal(EngineEvent::kHangUp); });
  EXPECT_EQ(events.WaitAny(5000ms), EngineEvent::kHangUp);
  signaller.join();
}

struct Recorder {
  std::vector<std::string> calls;
  MainLoopActions Actions() {
    MainLoopActions actions;
    actions.dial_up_tick = [this] { calls.push_back("tick"); };
    actions.dial = [this] { calls.push_back("dial"); };
    actions.hang_up = [this] { calls.push_back("hangup"); };
    actions.start_update_check = [this] { calls.push_back("update"); };
    return actions;
  }
};

TEST(MainLoopTest, RunsActionsInWaitSetOrderAndLeavesOnStop) {
  CEngineEvents events;
  Recorder recorder;
  // All signalled before the loop runs: tick, dial and hang-up come before
  // stop; the update check (after stop in the set) is never reached.
  events.Signal(EngineEvent::kUpdateCheck);
  events.Signal(EngineEvent::kStop);
  events.Signal(EngineEvent::kHangUp);
  events.Signal(EngineEvent::kDial);
  events.Signal(EngineEvent::kDialUpTick);
  CMainLoop(events, recorder.Actions()).Run();
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"tick", "dial", "hangup"}));
  EXPECT_EQ(events.WaitAny(0ms), EngineEvent::kUpdateCheck);
}

TEST(MainLoopTest, UpdateCheckStartsOnce) {
  CEngineEvents events;
  Recorder recorder;
  std::atomic<int> seen{0};
  MainLoopActions actions = recorder.Actions();
  actions.start_update_check = [&] {
    recorder.calls.push_back("update");
    ++seen;
  };
  std::thread loop([&] { CMainLoop(events, actions).Run(); });
  events.Signal(EngineEvent::kUpdateCheck);
  ASSERT_TRUE(test::WaitUntil([&] { return seen.load() == 1; }));
  events.Signal(EngineEvent::kUpdateCheck);
  ASSERT_TRUE(test::WaitUntil([&] { return !events.Pending(EngineEvent::kUpdateCheck); }));
  events.Signal(EngineEvent::kStop);
  loop.join();
  EXPECT_EQ(seen.load(), 1);
  EXPECT_EQ(std::count(recorder.calls.begin(), recorder.calls.end(), "update"), 1);
}

TEST(MainLoopTest, EmptyActionsDoNothing) {
  CEngineEvents events;
  events.Signal(EngineEvent::kDialUpTick);
  events.Signal(EngineEvent::kDial);
  events.Signal(EngineEvent::kHangUp);
  events.Signal(EngineEvent::kStop);
  CMainLoop(events, MainLoopActions{}).Run();
  SUCCEED();
}

TEST(TickThreadTest, SignalsTheTickEveryInterval) {
  CEngineEvents events;
  CTickThread tick(events, 20ms);
  tick.Start();
  int ticks = 0;
  for (int i = 0; i < 3; ++i) {
    if (events.WaitAny(5000ms) == EngineEvent::kDialUpTick) {
      ++ticks;
    }
  }
  tick.Stop();
  EXPECT_EQ(ticks, 3);
}

TEST(TickThreadTest, StopEndsTheThreadBeforeTheInterval) {
  CEngineEvents events;
  CTickThread tick(events, std::chrono::hours(1));
  tick.Start();
  const auto start = std::chrono::steady_clock::now();
  tick.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(events.WaitAny(0ms), std::nullopt);
}

}  // namespace
}  // namespace qlm::engine
