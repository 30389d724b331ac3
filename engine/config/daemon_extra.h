// The Email, DNS and DHCP values a daemon entry carries beside the common ones.
#pragma once

#include "engine/config/protocol_settings.h"
#include "qlmstd/qlmstd.h"
#include "qlmstd/store_key.h"

namespace qlm::engine {

// Reads the extra values for "Email", "DNS" or "DHCP" into daemon.extra
// (nothing for other names). Every listed value overwrites the default; a
// missing integer gives 0.
void LoadDaemonExtra(const qlmstd::CStoreKey& entry, ProtocolSettings& daemon);
void SaveDaemonExtra(const qlmstd::CStoreKey& entry, const ProtocolSettings& daemon);

}  // namespace qlm::engine
