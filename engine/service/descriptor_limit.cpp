// Raising the soft descriptor limit to the hard one.
#include "engine/service/descriptor_limit.h"

#include <sys/resource.h>

#include <fstream>

namespace qlm::engine {
namespace {

// No process may hold more descriptors than fs.nr_open, so an unlimited hard
// limit cannot be the soft one.
rlim_t KernelDescriptorCeiling() {
  std::ifstream file("/proc/sys/fs/nr_open");
  unsigned long long ceiling = 0;
  if (file >> ceiling && ceiling > 0) {
    return static_cast<rlim_t>(ceiling);
  }
  return 1024 * 1024;  // the kernel's own default
}

}  // namespace

bool RaiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
    return false;
  }
  rlim_t wanted = limit.rlim_max;
  if (wanted == RLIM_INFINITY) {
    wanted = KernelDescriptorCeiling();
  }
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur >= wanted) {
    return true;
  }
  limit.rlim_cur = wanted;
  return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

}  // namespace qlm::engine
