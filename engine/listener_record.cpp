// Listener records: the key every listener is known by.
#include "engine/listener_record.h"

#include <cstdio>

namespace qlm::engine {

CListenerRecord::CListenerRecord() = default;
CListenerRecord::~CListenerRecord() = default;

std::string CListenerRecord::Key() const {
  char key[128];
  std::snprintf(key, sizeof key, "%s:%s:%d", address.c_str(), name.c_str(), port);
  return key;
}

}  // namespace qlm::engine
