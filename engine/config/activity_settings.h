// The "Activity" section: live records to the manager, and the connection limit.
#pragma once

#include <cstdint>

#include "engine/config/config_direction.h"

namespace qlm::engine {

struct ActivitySettings {
  uint32_t Enable = 0;
  uint32_t MaxConnections = 2000;

  bool operator==(const ActivitySettings&) const = default;
};

void ExchangeActivity(ActivitySettings& settings, ConfigDirection direction);

}  // namespace qlm::engine
