// The idle countdown's rules, tick by tick, without a line or a manager.
#include "dialup/idle_countdown.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>

namespace qlm::dialup {
namespace {

DialUpSettings Settings(bool disconnect, int disconnect_minutes, bool keep_alive,
                        int keep_alive_minutes) {
  DialUpSettings s;
  s.UseDialUp = true;
  s.DialUpManaged = true;
  s.DisconnectIdle = disconnect;
  s.DisconnectIdleTime = disconnect_minutes;
  s.KeepAliveIdle = keep_alive;
  s.KeepAliveIdleTime = keep_alive_minutes;
  return s;
}

// One idle tick: nothing was sent since the previous one.
CIdleCountdown::Actions IdleTick(CIdleCountdown& countdown, std::atomic<uint32_t>& flag) {
  flag = 1;
  return countdown.Tick(true, flag);
}

TEST(IdleCountdownTest, OneMinuteWarnsAtFiveAndHangsUpFiveTicksLater) {
  CIdleCountdown countdown(Settings(true, 1, false, 20));
  std::atomic<uint32_t> flag{1};
  EXPECT_EQ(countdown.Reload(), 15u);
  EXPECT_EQ(countdown.Value(), 15u);
  int warned_at = 0;
  int hung_up_at = 0;
  for (int tick = 1; tick <= 16; ++tick) {
    CIdleCountdown::Actions a = IdleTick(countdown, flag);
    EXPECT_FALSE(a.probe);
    if (a.warn_manager) {
      EXPECT_EQ(warned_at, 0);
      warned_at = tick;
      EXPECT_EQ(countdown.Value(), 4u);
    }
    if (a.hang_up) {
      hung_up_at = tick;
    }
  }
  EXPECT_EQ(warned_at, 11);  // the count stood at 5
  EXPECT_EQ(hung_up_at, 16);
  // After the hang-up the count starts over from the reload.
  EXPECT_EQ(countdown.Value(), 14u);
}

TEST(IdleCountdownTest, NeitherOptionLeavesTheCountAtSixty) {
  CIdleCountdown countdown(Settings(false, 1, false, 1));
  std::atomic<uint32_t> flag{1};
  for (int tick = 0; tick < 200; ++tick) {
    CIdleCountdown::Actions a = IdleTick(countdown, flag);
    EXPECT_FALSE(a.hang_up || a.warn_manager || a.probe);
  }
  EXPECT_EQ(countdown.Value(), 60u);
  countdown.KeepConnection();
  EXPECT_EQ(countdown.Value(), 60u);
}

TEST(IdleCountdownTest, BothOptionsRunOnlyTheHangUp) {
  CIdleCountdown countdown(Settings(true, 1, true, 2));
  std::atomic<uint32_t> flag{1};
  EXPECT_EQ(countdown.Reload(), 15u);
  bool hung_up = false;
  for (int tick = 0; tick < 40; ++tick) {
    CIdleCountdown::Actions a = IdleTick(countdown, flag);
    EXPECT_FALSE(a.probe);
    hung_up = hung_up || a.hang_up;
  }
  EXPECT_TRUE(hung_up);
  countdown.KeepConnection();
  EXPECT_EQ(countdown.Value(), 15u);  // the DisconnectIdle count, not 30
}

TEST(IdleCountdownTest, KeepAliveProbesEveryReloadPlusOneTicks) {
  CIdleCountdown countdown(Settings(false, 20, true, 1));
  std::atomic<uint32_t> flag{1};
  std::vector<int> probes;
  for (int tick = 1; tick <= 40; ++tick) {
    CIdleCountdown::Actions a = IdleTick(countdown, flag);
    EXPECT_FALSE(a.hang_up || a.warn_manager);
    if (a.probe) {
      probes.push_back(tick);
    }
  }
  EXPECT_EQ(probes, (std::vector<int>{16, 32}));
}

TEST(IdleCountdownTest, TrafficOrADownLineReloads) {
  CIdleCountdown countdown(Settings(true, 1, false, 20));
  std::atomic<uint32_t> flag{1};
  for (int tick = 0; tick < 8; ++tick) {
    IdleTick(countdown, flag);
  }
  EXPECT_EQ(countdown.Value(), 7u);
  flag = 0;  // a proxy sent something
  EXPECT_FALSE(countdown.Tick(true, flag).hang_up);
  EXPECT_EQ(countdown.Value(), 15u);
  EXPECT_EQ(flag.load(), 1u);  // exchanged
  IdleTick(countdown, flag);
  EXPECT_EQ(countdown.Value(), 14u);
  // Line down: reloaded, and the flag is left for the next connected tick.
  flag = 0;
  countdown.Tick(false, flag);
  EXPECT_EQ(countdown.Value(), 15u);
  EXPECT_EQ(flag.load(), 0u);
}

TEST(IdleCountdownTest, VetoReloadsTheCountdown) {
  CIdleCountdown countdown(Settings(true, 2, false, 20));
  std::atomic<uint32_t> flag{1};
  for (int tick = 0; tick < 26; ++tick) {
    IdleTick(countdown, flag);
  }
  EXPECT_EQ(countdown.Value(), 4u);  // warned
  countdown.KeepConnection();
  EXPECT_EQ(countdown.Value(), 30u);
  CIdleCountdown keep_alive(Settings(false, 2, true, 3));
  for (int tick = 0; tick < 10; ++tick) {
    IdleTick(keep_alive, flag);
  }
  keep_alive.KeepConnection();
  EXPECT_EQ(keep_alive.Value(), 45u);
}

// Regression: an idle time of 0 minutes made the counter wrap below zero, so a
// line that stayed up was never hung up again.
TEST(IdleCountdownTest, ZeroMinutesHangsUpOnEveryIdleTickWithoutWrapping) {
  CIdleCountdown countdown(Settings(true, 0, false, 20));
  std::atomic<uint32_t> flag{1};
  for (int tick = 0; tick < 3; ++tick) {
    EXPECT_TRUE(IdleTick(countdown, flag).hang_up);
    EXPECT_EQ(countdown.Value(), 0u);
  }
}

TEST(IdleCountdownTest, OutOfRangeMinutesNeitherWrapNorOverflow) {
  EXPECT_EQ(CIdleCountdown(Settings(true, -3, false, 20)).Reload(), 0u);
  // 2147483647 minutes are more ticks than the counter holds: it stops there.
  EXPECT_EQ(CIdleCountdown(Settings(true, std::numeric_limits<int>::max(), false, 20)).Reload(),
            std::numeric_limits<unsigned>::max());
  EXPECT_EQ(CIdleCountdown(Settings(false, 0, true, 60)).Reload(), 900u);
}

}  // namespace
}  // namespace qlm::dialup
