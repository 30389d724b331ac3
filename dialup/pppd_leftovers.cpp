// Sweeping the options files earlier engines left.
#include "dialup/pppd_leftovers.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

namespace qlm::dialup {

std::string PppdTempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
}

size_t SweepPppdLeftovers(const std::string& folder, uid_t owner) {
  namespace fs = std::filesystem;
  size_t removed = 0;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(kPppdLeftoverPrefix, 0) != 0) {
      continue;
    }
    // lstat: a link is judged (and removed) as itself, never its target.
    struct stat info {};
    if (::lstat(entry.path().c_str(), &info) != 0 || info.st_uid != owner) {
      continue;
    }
    std::error_code ignored;
    if (fs::remove_all(entry.path(), ignored) > 0) {
      ++removed;
    }
  }
  return removed;
}

}  // namespace qlm::dialup
