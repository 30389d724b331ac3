// How the service functions reach systemd: whether it runs, where the unit
// file of the engine's service lives, and systemctl. Shared by the unit
// writer (install, remove) and the service control (start, stop, query).
#pragma once

#include <string>
#include <vector>

#include "qlmstd/service_control.h"

namespace qlm::qlmstd {

// True when systemd runs (its marker folder exists).
bool ServiceManagerReachable(const ServiceControlPaths& paths);
// unit_folder/QuillmarService.service.
std::string UnitPath(const ServiceControlPaths& paths);
// package_unit_folder/QuillmarService.service.
std::string PackageUnitPath(const ServiceControlPaths& paths);
// The service is registered: by -install (UnitPath) or by the package.
bool UnitExists(const ServiceControlPaths& paths);
// Runs systemctl with `args` and waits for it; its exit code (-1 when it
// cannot run or does not exit normally). Its standard output goes to `out`
// when given.
int Systemctl(const ServiceControlPaths& paths, std::vector<std::string> args, std::string* out);

}  // namespace qlm::qlmstd
