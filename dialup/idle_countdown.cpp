// The idle countdown's rules, apart from the line and the manager channel.
#include "dialup/idle_countdown.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace qlm::dialup {
namespace {

// Minutes to ticks. A negative setting counts as 0 and a huge one stops at the
// counter's range instead of wrapping round to a short count.
unsigned MinutesToTicks(int minutes) {
  int64_t ticks = static_cast<int64_t>(std::max(minutes, 0)) * 60000 / 4000;
  return static_cast<unsigned>(
      std::min<int64_t>(ticks, std::numeric_limits<unsigned>::max()));
}

}  // namespace

CIdleCountdown::CIdleCountdown(const DialUpSettings& settings)
    : disconnect_idle_(settings.DisconnectIdle),
      keep_alive_idle_(settings.KeepAliveIdle),
      disconnect_reload_(MinutesToTicks(settings.DisconnectIdleTime)),
      keep_alive_reload_(MinutesToTicks(settings.KeepAliveIdleTime)),
      count_(0) {
  // Loaded from the start, so that a line found up by the first tick gets its
  // full idle time rather than an immediate hang-up.
  count_ = Reload();
}

unsigned CIdleCountdown::Reload() const {
  if (disconnect_idle_) {
    return disconnect_reload_;
  }
  if (keep_alive_idle_) {
    return keep_alive_reload_;
  }
  return kDefaultReload;
}

CIdleCountdown::Actions CIdleCountdown::Tick(bool connected,
                                             std::atomic<uint32_t>& traffic_idle) {
  Actions actions;
  if (!connected || traffic_idle.exchange(1) == 0) {
    count_ = Reload();
    return actions;
  }
  if (disconnect_idle_) {
    unsigned count = count_;
    if (count == 0) {
      actions.hang_up = true;
      count = Reload();
    }
    if (count == kWarnAt) {
      count_ = kWarnAt - 1;
      actions.warn_manager = true;
    } else {
      // An idle time of 0 minutes hangs up on every idle tick; it must not
      // wrap the counter round to four billion ticks.
      count_ = count > 0 ? count - 1 : 0;
    }
  } else if (keep_alive_idle_) {
    if (count_ == 0) {
      actions.probe = true;
      count_ = Reload();
    } else {
      --count_;
    }
  }
  return actions;
}

void CIdleCountdown::KeepConnection() {
  if (disconnect_idle_) {
    count_ = disconnect_reload_;
  } else if (keep_alive_idle_) {
    count_ = keep_alive_reload_;
  }
}

}  // namespace qlm::dialup
