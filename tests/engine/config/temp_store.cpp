// Temporary stores for the configuration tests.
#include "tests/engine/config/temp_store.h"

#include <cstdlib>
#include <filesystem>

namespace qlm::test {

namespace {
constexpr const char* kRootPath = "SOFTWARE\\Kestrela\\Quillmar\\2.6";
}

CTempStore::CTempStore(bool with_root) {
  char pattern[] = "/tmp/qlm-config-XXXXXX";
  dir_ = mkdtemp(pattern);
  path_ = dir_ + "/quillmar.db";
  setenv("QUILLMAR_STORE", path_.c_str(), 1);
  if (with_root) {
    auto root = qlmstd::CStoreKey::OpenTop(qlmstd::CStoreKey::Top::kLocalMachine, kRootPath, true);
    root.SetString("InstallDir", dir_);
  }
}

CTempStore::~CTempStore() {
  unsetenv("QUILLMAR_STORE");
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

qlmstd::CStoreKey CTempStore::Root() const {
  return qlmstd::CStoreKey::OpenTop(qlmstd::CStoreKey::Top::kLocalMachine, kRootPath, false);
}

}  // namespace qlm::test
