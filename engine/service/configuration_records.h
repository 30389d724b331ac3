// The configuration records the engine loads once at start-up.
#pragma once

#include "engine/config/activity_settings.h"
#include "engine/config/general_settings.h"
#include "engine/config/log_settings.h"
#include "engine/config/port_map_settings.h"
#include "engine/config/protocol_settings.h"
