// Message serialisation: the type, then the payload the type table gives.
#include "link/msg.h"

namespace qlm::link {

MsgPayload PayloadOf(uint32_t type) {
  switch (type) {
    case MSG_DAEMON_LIST:
    case MSG_LOG_CONTENT:
      return MsgPayload::kStringList;
    case MSG_ACTIVITY:
      return MsgPayload::kActivity;
    case MSG_LOG_LINE:
      return MsgPayload::kString;
    default:
      // The requests, the warning and every unknown type carry nothing.
      return MsgPayload::kNone;
  }
}

void CMsg::Clear() {
  type = 0;
  text.clear();
  lines.clear();
}

void CMsg::Serialize(CArchive& archive) {
  if (archive.IsStoring()) {
    Store(archive);
  } else {
    Load(archive);
  }
}

void CMsg::Store(CArchive& archive) const {
  archive << type;
  switch (PayloadOf(type)) {
    case MsgPayload::kString:
      archive << text;
      break;
    case MsgPayload::kActivity:
      activity.Store(archive);
      break;
    case MsgPayload::kStringList:
      archive.WriteStringList(lines);
      break;
    case MsgPayload::kNone:
      break;
  }
}

void CMsg::Load(CArchive& archive) {
  archive >> type;
  switch (PayloadOf(type)) {
    case MsgPayload::kString:
      archive >> text;
      break;
    case MsgPayload::kActivity:
      activity.Load(archive);
      break;
    case MsgPayload::kStringList:
      archive.ReadStringList(lines);
      break;
    case MsgPayload::kNone:
      break;
  }
}

}  // namespace qlm::link
