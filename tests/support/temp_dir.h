// A temporary folder of the test's own, removed with everything in it (even
// where the test took its permissions away) when the holder goes.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace qlm::test {

class CTempDir {
 public:
  explicit CTempDir(const std::string& stem = "qlm-test") {
    std::string pattern = "/tmp/" + stem + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) {
      path_ = pattern;
    }
  }
  ~CTempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
  }
  CTempDir(const CTempDir&) = delete;
  CTempDir& operator=(const CTempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace qlm::test
