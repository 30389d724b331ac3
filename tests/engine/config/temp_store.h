// A store of its own for each test: a temporary file named by QUILLMAR_STORE,
// with the product root created as the installer would.
#pragma once

#include <string>

#include "qlmstd/store_key.h"

namespace qlm::test {

class CTempStore {
 public:
  explicit CTempStore(bool with_root = true);
  ~CTempStore();

  const std::string& Path() const { return path_; }
  // The product root, opened (created by the constructor when asked).
  qlmstd::CStoreKey Root() const;

 private:
  std::string dir_;
  std::string path_;
};

}  // namespace qlm::test
