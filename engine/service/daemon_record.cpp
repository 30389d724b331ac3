// DaemonRecord's construction and destruction, where the settings records it
// may own copies of are complete types.
#include "engine/listener_record.h"

#ifdef QLM_HAVE_CONFIG
#include "engine/service/configuration_records.h"
#else
namespace qlm::engine {
// Built without the configuration records: no daemon record carries copies
// of Email, DNS or DHCP settings.
struct EmailSettings {};
struct DnsSettings {};
struct DhcpSettings {};
}  // namespace qlm::engine
#endif

namespace qlm::engine {

DaemonRecord::DaemonRecord() = default;
DaemonRecord::~DaemonRecord() = default;

}  // namespace qlm::engine
