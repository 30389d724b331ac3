// The service part of CQlmstd mapped onto systemd: the unit file is the
// service's registration (written by service_unit.cpp), systemctl its
// control. Without systemd the service manager counts as unreachable.
#include "qlmstd/service_control.h"

#include <mutex>

#include "qlmstd/qlmstd.h"
#include "qlmstd/service_manager.h"

namespace qlm::qlmstd {
namespace {

std::mutex g_paths_mutex;
ServiceControlPaths g_paths;  // Guarded by g_paths_mutex

ServiceControlPaths Paths() {
  std::lock_guard<std::mutex> lock(g_paths_mutex);
  return g_paths;
}

bool ManagerReachable(const ServiceControlPaths& p) { return ServiceManagerReachable(p); }

// "active", "inactive", ... ; empty when the query fails.
std::string ActiveState(const ServiceControlPaths& p) {
  std::string out;
  if (Systemctl(p, {"show", "-p", "ActiveState", "--value", kUnitFileName}, &out) != 0) {
    return {};
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
    out.pop_back();
  }
  return out;
}

}  // namespace

ServiceControlPaths GetServiceControlPaths() { return Paths(); }

void SetServiceControlPaths(const ServiceControlPaths& paths) {
  std::lock_guard<std::mutex> lock(g_paths_mutex);
  g_paths = paths;
}

bool CQlmstd::ServiceStart() {
  ServiceControlPaths p = Paths();
  return ManagerReachable(p) && UnitExists(p) &&
         Systemctl(p, {"start", "--no-block", kUnitFileName}, nullptr) == 0;
}

bool CQlmstd::ServiceStop() {
  ServiceControlPaths p = Paths();
  if (!ManagerReachable(p) || !UnitExists(p) || ActiveState(p) != "active") {
    return false;  // a service that is not running does not accept the stop
  }
  return Systemctl(p, {"stop", "--no-block", kUnitFileName}, nullptr) == 0;
}

int CQlmstd::IsServiceRunning() {
  ServiceControlPaths p = Paths();
  if (!ManagerReachable(p)) {
    return -2;
  }
  if (!UnitExists(p)) {
    return -1;
  }
  std::string state = ActiveState(p);
  if (state.empty()) {
    return -1;
  }
  return state == "active" ? 1 : 0;
}

bool CQlmstd::ServiceAutoRunConfig(uint32_t start_type) {
  ServiceControlPaths p = Paths();
  if (!ManagerReachable(p) || !UnitExists(p)) {
    return false;
  }
  const char* verb = start_type == kServiceAutoStart ? "enable" : "disable";
  return Systemctl(p, {verb, kUnitFileName}, nullptr) == 0;
}

}  // namespace qlm::qlmstd
