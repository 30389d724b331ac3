// The one message class of the manager channel. On the wire: the 4-byte type,
// then exactly the payload its type carries (none, one string, the three
// activity strings, or a string list); no framing, no tags.
#pragma once

#include <cstdint>
#include <string>

#include "link/activity_msg.h"
#include "link/archive.h"
#include "link/msg_wire.h"

namespace qlm::link {

class CMsg {
 public:
  CMsg() = default;
  explicit CMsg(uint32_t msg_type) : type(msg_type) {}

  std::string text;       // MSG_LOG_LINE
  CActivityMsg activity;  // MSG_ACTIVITY
  CStringList lines;      // MSG_DAEMON_LIST, MSG_LOG_CONTENT
  uint32_t type = 0;

  // Type 0, text and lines emptied (the activity is overwritten whole by the
  // next activity message read).
  void Clear();

  // Writes or reads the type and its payload. Loading throws
  // CArchiveException at the end of the stream and passes on the file's own
  // exceptions; storing passes on the file's exceptions.
  void Serialize(CArchive& archive);
  void Store(CArchive& archive) const;
  void Load(CArchive& archive);
};

// Which payload a type carries.
enum class MsgPayload { kNone, kString, kActivity, kStringList };
MsgPayload PayloadOf(uint32_t type);

}  // namespace qlm::link
