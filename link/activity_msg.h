// One activity row of the manager's view: which listener, which connection
// row, and what that connection does now (empty: the row has ended).
#pragma once

#include <string>

#include "link/archive.h"

namespace qlm::link {

class CActivityMsg {
 public:
  // "%s:%s:%d": listen address, daemon or mapping name, port.
  std::string key;
  // "%#x%s": serving thread and row kind; the kind alone without a thread.
  std::string connection;
  // At most 127 characters; empty ends the row.
  std::string text;

  // Writes or reads key, connection and text, in this order, nothing else.
  void Serialize(CArchive& archive);
  void Store(CArchive& archive) const;
  void Load(CArchive& archive);

  bool operator==(const CActivityMsg&) const = default;
};

}  // namespace qlm::link
