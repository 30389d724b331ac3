// DaemonRecord's construction and destruction, where the settings records it
// may own copies of are complete types.
#include "engine/listener_record.h"
#include "engine/service/configuration_records.h"

namespace qlm::engine {

DaemonRecord::DaemonRecord() = default;
DaemonRecord::~DaemonRecord() = default;

}  // namespace qlm::engine
