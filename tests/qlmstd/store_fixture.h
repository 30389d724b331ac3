// A store file of its own for each test, named by QUILLMAR_STORE in a fresh
// temporary folder, optionally with the product root as `qlmreg init` makes it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "qlmstd/store_key.h"

namespace qlm::qlmstd {

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Creates the product root with "InstallDir" = the temporary folder.
  void MakeRoot();
  CStoreKey Root(bool create = false) const;

  std::string dir_;
  std::string store_;
};

}  // namespace qlm::qlmstd
