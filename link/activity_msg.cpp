// The activity payload: three strings, written field by field.
#include "link/activity_msg.h"

namespace qlm::link {

void CActivityMsg::Serialize(CArchive& archive) {
  if (archive.IsStoring()) {
    Store(archive);
  } else {
    Load(archive);
  }
}

void CActivityMsg::Store(CArchive& archive) const {
  archive << key << connection << text;
}

void CActivityMsg::Load(CArchive& archive) {
  archive >> key >> connection >> text;
}

}  // namespace qlm::link
