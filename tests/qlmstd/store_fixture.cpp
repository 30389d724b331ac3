// Temporary stores for the store tests.
#include "tests/qlmstd/store_fixture.h"

#include <cstdlib>
#include <filesystem>

#include "qlmstd/qlmreg/reg_commands.h"

namespace qlm::qlmstd {

void StoreTest::SetUp() {
  char pattern[] = "/tmp/qlm-store-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  dir_ = pattern;
  store_ = dir_ + "/quillmar.db";
  setenv("QUILLMAR_STORE", store_.c_str(), 1);
}

void StoreTest::TearDown() {
  unsetenv("QUILLMAR_STORE");
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void StoreTest::MakeRoot() {
  std::string error;
  ASSERT_TRUE(RegInit(dir_, dir_, error)) << error;
}

CStoreKey StoreTest::Root(bool create) const {
  return CStoreKey::OpenTop(CStoreKey::Top::kLocalMachine, kProductRootPath, create);
}

}  // namespace qlm::qlmstd
