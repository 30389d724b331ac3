// Every input of the DHCP fuzzer's corpus replayed through its target in the
// ordinary build, so a regression the fuzzer once found fails `make test`.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace qlm::dhcp {
namespace {

TEST(DhcpFuzzReplayTest, EveryCorpusInputPasses) {
  const std::filesystem::path corpus =
      std::filesystem::path(QLM_SOURCE_DIR) / "tests/fuzz/corpus/fuzz_dhcp";
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::ifstream file(entry.path(), std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
    EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()),
                                     bytes.size()),
              0)
        << entry.path();
    ++count;
  }
  EXPECT_GE(count, 10u);
}

}  // namespace
}  // namespace qlm::dhcp
