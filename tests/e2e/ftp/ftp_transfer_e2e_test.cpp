// The FTP proxy in the real engine between real programs: python3's ftplib
// and curl log on through it as user@host in active mode, list a folder,
// store and retrieve a 1 MiB random file byte for byte from a pyftpdlib
// server; the engine logs the session's activity line.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/e2e/ftp/ftp_e2e_support.h"
#include "tests/e2e/support/engine_under_test.h"
#include "tests/support/child_process.h"

namespace qlm::ftp::test {
namespace {

constexpr size_t kFileSize = 1 << 20;

class FtpTransferE2eTest : public ::testing::Test {
 protected:
  // Every case has an FTP server address of its own: the server listens on
  // port 21, and ctest runs cases side by side.
  void Start(const std::string& server_address) {
    port_ = engine_.AddDaemon("FTP");
    ASSERT_TRUE(engine_.Start());
    server_ = std::make_unique<CFtpServerProcess>(server_address);
    ASSERT_TRUE(server_->Start());
  }
  std::string Login() const { return std::string(kUser) + "@" + server_->Address(); }

  qlm::test::EngineUnderTest engine_{"127.0.0.111"};
  std::unique_ptr<CFtpServerProcess> server_;
  uint16_t port_ = 0;
};

TEST_F(FtpTransferE2eTest, FtplibListsStoresAndRetrievesInActiveMode) {
  ASSERT_NO_FATAL_FAILURE(Start("127.0.0.112"));
  WriteFile(server_->Root() + "/already-there.txt", "hello\n");
  const std::string upload = engine_.Folder() + "/upload.bin";
  const std::string retrieved = engine_.Folder() + "/retrieved.bin";
  const std::string bytes = RandomBytes(kFileSize);
  WriteFile(upload, bytes);
  const auto result = qlm::test::Run(
      {"python3", std::string(QLM_SOURCE_DIR) + "/tests/e2e/ftp/ftp_client.py", "--proxy",
       engine_.Ip(), "--port", std::to_string(port_), "--user", Login(), "--password",
       kPassword, "--store", upload, "--retrieved", retrieved},
      {}, std::nullopt, std::chrono::seconds(60));
  ASSERT_EQ(result.code, 0) << result.err;
  EXPECT_NE(result.out.find("already-there.txt"), std::string::npos) << result.out;
  EXPECT_TRUE(ReadFile(server_->Root() + "/upload.bin") == bytes) << "stored file differs";
  EXPECT_TRUE(ReadFile(retrieved) == bytes) << "retrieved file differs";
  EXPECT_TRUE(engine_.WaitForLog("FTP       127.0.0.1"));
  EXPECT_TRUE(engine_.WaitForLog(" 127.0.0.112      " + server_->Address() + " "));
  EXPECT_EQ(engine_.CountLog("ERR"), 0u);
}

TEST_F(FtpTransferE2eTest, CurlListsAndDownloadsThroughTheProxy) {
  ASSERT_NO_FATAL_FAILURE(Start("127.0.0.113"));
  const std::string bytes = RandomBytes(kFileSize);
  WriteFile(server_->Root() + "/file.bin", bytes);
  const std::string url = "ftp://" + engine_.Ip() + ":" + std::to_string(port_) + "/";
  const std::string user = Login() + ":" + kPassword;
  const std::vector<std::string> common = {"curl",           "-sS",        "--max-time", "30",
                                           "--ftp-port",     "127.0.0.1",  "--disable-eprt",
                                           "--user",         user};
  auto list = common;
  list.push_back(url);
  const auto listing = qlm::test::Run(list, {}, std::nullopt, std::chrono::seconds(60));
  ASSERT_EQ(listing.code, 0) << listing.err;
  EXPECT_NE(listing.out.find("file.bin"), std::string::npos) << listing.out;

  auto fetch = common;
  fetch.push_back(url + "file.bin");
  const auto download = qlm::test::Run(fetch, {}, std::nullopt, std::chrono::seconds(60));
  ASSERT_EQ(download.code, 0) << download.err;
  EXPECT_TRUE(download.out == bytes) << "downloaded " << download.out.size() << " bytes";
  EXPECT_EQ(engine_.CountLog("ERR"), 0u);
}

}  // namespace
}  // namespace qlm::ftp::test
