// Listener records: the key every listener is known by, and a daemon
// record's construction and destruction where the settings records it may own
// copies of are complete types (the protocol libraries that read those copies
// link only the engine base).
#include "engine/listener_record.h"

#include <cstdio>

#include "engine/config/protocol_settings.h"

namespace qlm::engine {

CListenerRecord::CListenerRecord() = default;
CListenerRecord::~CListenerRecord() = default;

DaemonRecord::DaemonRecord() = default;
DaemonRecord::~DaemonRecord() = default;

std::string CListenerRecord::Key() const {
  char key[128];
  std::snprintf(key, sizeof key, "%s:%s:%d", address.c_str(), name.c_str(), port);
  return key;
}

}  // namespace qlm::engine
